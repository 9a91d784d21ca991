// The apply step of an update transaction.
//
// Everything up to the first changed item stays where it is. From there on
// the archive is rewritten: the entry pipeline (engine/entries) writes every
// item anew from its source or carries it over from the old archive, then
// the central directory is written. This file is the transaction around
// that loop.
//
// Each change to a volume file is recorded in an undo log before it is made
// (the old bytes of a volume from the first change on, a volume created, a
// volume renamed), so that Cancel, an Abort answer or an exception put every
// volume back byte for byte by undoing the log. How the rewriting goes:
// - A single-file archive (or one in memory) whose entries change before
//   its end is rewritten through a staged copy of its new tail behind the
//   old end (staged_tail.cc), so that no entry is ever overwritten before a
//   complete copy of it can be found; rolling back is cutting the archive
//   back to its old end.
// - Otherwise the old bytes from the first change on (the old directory, or
//   for a multi-volume archive the entries carried over) are kept aside and
//   the volume is cut there; new entries follow, and on a multi-volume
//   archive new volumes after the last one (undone by deleting them).
//
// Moved sources are deleted last, and only after a successful update whose
// directory is written and flushed: a cancelled or aborted update never
// deletes a source, and once a source is gone the archive is never rolled
// back, so that no file is lost whatever the host answers. A moved folder is
// removed only when it is empty once its moved files are gone, so files that
// were not archived (excluded, or ignored after a failure) stay.
#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/directory/dir_array.h"
#include "engine/format/signatures.h"
#include "engine/entries/entry_pipeline.h"
#include "engine/entries/entry_placement.h"
#include "engine/entries/entry_writer.h"
#include "engine/archiver_core.h"
#include "engine/base/za_exception.h"
#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/memory_stream.h"
#include "platform/path.h"

namespace tessaly::engine {

namespace {

using platform::Stream;

// Old bytes up to this many are kept in memory, more in a temporary file.
constexpr int64_t kTailKeptInMemory = 1 << 20;

// The directory in memory back as it was before the transaction. Items
// that only the running transaction added let go of their source streams.
void RestoreDirectory(TZADirManager& manager) {
  manager.Dir.Assign(manager.SavedDir);
}

// The end records of the directory store, which writing a directory
// replaces; a rolled-back update puts them back with the old directory.
struct EndRecords {
  engine::EndRecord end;
  engine::Zip64EndRecord zip64_end;
  engine::Zip64Locator zip64_locator;
  bool has_zip64_end;
  int64_t end_record_position;

  static EndRecords Of(const TZADirManager& m) {
    return {m.EndRecord, m.Zip64End, m.Zip64Locator, m.HasZip64End,
            m.EndRecordPosition};
  }
  void RestoreTo(TZADirManager& m) const {
    m.EndRecord = end;
    m.Zip64End = zip64_end;
    m.Zip64Locator = zip64_locator;
    m.HasZip64End = has_zip64_end;
    m.EndRecordPosition = end_record_position;
  }
};

// What the apply step changed, as steps recorded before each change and
// undone latest first. A step that fails (returns false or raises) does not
// stop the others.
class UndoList {
 public:
  void Record(std::function<bool()> step) { steps_.push_back(std::move(step)); }
  // Runs every step, latest first, and forgets them. Returns false when any
  // step failed.
  bool Undo() noexcept {
    bool restored = true;
    while (!steps_.empty()) {
      const std::function<bool()> step = std::move(steps_.back());
      steps_.pop_back();
      try {
        if (!step()) restored = false;
      } catch (...) {
        restored = false;
      }
    }
    return restored;
  }

 private:
  std::vector<std::function<bool()>> steps_;
};

// Runs `attempt` until it succeeds, offering each EZAException to the
// failure dialogue. Returns false when the answer was Abort.
template <typename Attempt>
bool WithFailureDialogue(ArchiverCore& core, const std::string& name,
                         Attempt attempt) {
  for (;;) {
    try {
      attempt();
      return true;
    } catch (const EZAException& e) {
      TZAAction action = fxaIgnore;
      core.DoProcessFileFailure(name, poMove, e.NativeError(), e.ErrorCode(),
                                e.what(), action);
      if (action == fxaRetry) continue;
      return action == fxaIgnore;
    }
  }
}

void FlushArchive(ArchiverCore& core) {
  Stream* archive = core.Volumes().stream();
  if (core.Options.FlushBuffers && archive != nullptr && archive->IsFile()) {
    archive->Flush();
  }
}

// Deletes the sources of moved items, files first, then their folders
// (deepest first). `deleted` tells whether any file went, also when a
// handler's exception ends the deleting.
void DeleteMovedSources(ArchiverCore& core, bool& deleted) {
  platform::Env& env = core.env();
  const TZADirArray& dir = core.DirectoryStore()->Dir;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (int32_t k = 0; k < dir.Count(); ++k) {
    const TDirItem& item = dir.ItemPtr(k);
    if (!item.Pending || item.EntryAction != poMove) continue;
    (item.IsFolder() ? folders : files).push_back(item.SourceFileName);
  }
  if (files.empty() && folders.empty()) return;
  FlushArchive(core);  // the archive holds the data before a source goes
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) {
                     return a.size() > b.size();
                   });
  for (const std::string& name : files) {
    const bool go_on = WithFailureDialogue(core, name, [&] {
      if (!env.RemoveFile(name)) {
        env.SetFileAttributes(name, 0);
        if (!env.RemoveFile(name)) throw EZAException(kCodeDeleteFile, {name}, &core);
      }
      deleted = true;
    });
    if (!go_on) return;
  }
  for (const std::string& name : folders) {
    const bool go_on = WithFailureDialogue(core, name, [&] {
      if (!env.RemoveDir(platform::ExcludeTrailingPathDelimiter(name))) {
        throw EZAException(kCodeDeleteFolder, {name}, &core);
      }
    });
    if (!go_on) break;
  }
}

// The engine code and message of the exception being handled.
void DescribeCurrentException(TZAUpdateResult& result) {
  try {
    throw;
  } catch (const EZAException& e) {
    result.NativeError = e.NativeError();
    result.Message = e.what();
  } catch (const std::exception& e) {
    result.Message = e.what();
  } catch (...) {
    result.Message = "unknown exception";
  }
}

}  // namespace

int32_t ArchiverCore::LastVolumeNumber() const {
  const EndRecord& end = DirManager->EndRecord;
  if (end.this_disk == kZip64Marker16 && DirManager->HasZip64End) {
    return static_cast<int32_t>(DirManager->Zip64End.this_disk);
  }
  return end.this_disk;
}

bool ArchiverCore::StartsOnLastVolume() const {
  const TZADirArray& saved = DirManager->SavedDir;
  const int64_t last = LastVolumeNumber();
  if (first_change_ < saved.Count()) {
    return saved.ItemPtr(first_change_).DiskStart() == last;
  }
  const EndRecord& end = DirManager->EndRecord;
  const int64_t directory_disk =
      end.directory_disk == kZip64Marker16 && DirManager->HasZip64End
          ? static_cast<int64_t>(DirManager->Zip64End.directory_disk)
          : end.directory_disk;
  return directory_disk == last;
}

int32_t ArchiverCore::FindFirstChange() {
  const TZADirArray& saved = DirManager->SavedDir;
  const TZADirArray& dir = DirManager->Dir;
  const int32_t shorter = std::min(saved.Count(), dir.Count());
  for (int32_t i = 0; i < shorter; ++i) {
    const TDirItem& item = dir.ItemPtr(i);
    if (item.Pending || item.StoredName != saved.ItemPtr(i).StoredName) {
      return i;
    }
  }
  return shorter;
}

void ArchiverCore::BackupTail() {
  const int64_t start = place_.start;
  const int64_t count = std::max<int64_t>(0, volumes_.stream()->Size() - start);
  std::unique_ptr<Stream> copy;
  std::string temp;
  if (count > kTailKeptInMemory) {
    temp = TempFileName(env_, TempDir);
    try {
      copy = platform::OpenStream(env_, temp,
                                                    platform::kOpenCreate);
    } catch (...) {
      env_.RemoveFile(temp);
      throw;
    }
  } else if (count > 0) {
    copy = std::make_unique<platform::MemoryStream>();
  }
  if (copy != nullptr) {
    try {
      if (volumes_.stream()->Seek(start) != start) throw platform::EReadError();
      copy->CopyFrom(*volumes_.stream(), count);
    } catch (...) {
      copy.reset();
      if (!temp.empty()) env_.RemoveFile(temp);
      throw;
    }
  }
  // Recorded only once the copy is whole: undoing restores exactly it.
  place_.backup =
      volumes_.undo().TailChanges(volumes_.name(), start, std::move(copy),
                                  temp);
}

void ArchiverCore::BeginRewrite() {
  const TZADirArray& saved = DirManager->SavedDir;
  int64_t& start = place_.start;
  if (first_change_ < saved.Count()) {
    start =
        static_cast<int64_t>(saved.ItemPtr(first_change_).LocalHeaderOffset());
  } else if (saved.Count() == 0) {
    start = DirManager->PrefixSize;
  } else {
    const EndRecord& end = DirManager->EndRecord;
    start = end.directory_offset == kZip64Marker32
                 ? static_cast<int64_t>(DirManager->Zip64End.directory_offset)
                 : static_cast<int64_t>(end.directory_offset);
  }

  const bool multi_volume = spanning_mode_ != smNone;
  if (multi_volume && saved.Count() > 0) {
    // An existing multi-volume archive grows from its last volume, which
    // the archive stream is open on.
    volumes_.current().SetNumber(LastVolumeNumber());
  } else {
    volumes_.current().SetFirst(true);
  }
  volumes_.MarkStart();

  if (!multi_volume && first_change_ < saved.Count()) {
    BeginStaging();
    return;
  }
  BackupTail();
  CutAt(*volumes_.stream(), start);
  if (spanning_mode_ == smSpanning &&
      VolumeSequence::IsFloppyDrive(FileName)) {
    volumes_.StartStaging();
  }
}

bool ArchiverCore::RollbackUpdate() {
  place_.Clear();
  const bool restored = volumes_.Undo();
  if (!DirManager->ForeignStream) DirManager->Stream = volumes_.stream();
  return restored;
}

void ArchiverCore::EndUntouched(TZAUpdateOutcome outcome,
                                const EZAException& error) {
  last_update_ = TZAUpdateResult{};
  last_update_.Outcome = outcome;
  last_update_.NativeError = error.NativeError();
  last_update_.Message = error.what();
  last_update_.RolledBack = true;
  throw error;
}

void ArchiverCore::ApplyUpdate() {
  if (UpdateCount == 0) return;
  UpdateCount = 0;
  if (DirManager == nullptr) return;
  TZADirArray& dir = DirManager->Dir;
  last_update_ = TZAUpdateResult{};
  last_update_.FilesLeftOut = std::move(SelectionLeftOut);
  SelectionLeftOut.clear();
  // Whatever ends the step early puts back what it changed by then.
  UndoList undo;
  undo.Record([this] {
    RestoreDirectory(*DirManager);
    return true;
  });
  if (volumes_.stream() == nullptr) {
    // A volume request declined earlier left no stream to write to.
    undo.Undo();
    EndUntouched(uoFailed, EZAException(kCodeNotOpen, this));
  }

  first_change_ = FindFirstChange();
  ApplyProgress& progress = pipeline_.Progress();
  const TZAProcessOperation operation = pipeline_.BeginStep(dir, first_change_);

  bool cancel = false;
  DoOverallProgress(0.0, operation, ppStart, cancel);
  if (cancel) {
    // Nothing is written; the directory in memory must not keep items that
    // the archive does not hold, or a later Close would record them.
    progress.CancelRequested = true;
    undo.Undo();
    last_update_.Outcome = uoCancelled;
    last_update_.RolledBack = true;
    return;
  }

  if (spanning_mode_ != smNone && DirManager->SavedDir.Count() > 0 &&
      !StartsOnLastVolume()) {
    // Rewriting from an earlier volume would have to cut and rewrite every
    // volume after it; refuse before anything is touched.
    undo.Undo();
    EndUntouched(uoRefused, EZAException(kCodeMultiVolumeModified, this));
  }

  // Writing a directory replaces the end records.
  const EndRecords end_records = EndRecords::Of(*DirManager);
  undo.Record([this, end_records] {
    end_records.RestoreTo(*DirManager);
    return true;
  });
  // Rolls back; false when a volume could not be put back.
  const auto roll_back = [&]() noexcept { return undo.Undo(); };
  const auto fail = [&]() {
    DescribeCurrentException(last_update_);
    last_update_.Outcome = uoFailed;
    last_update_.FilesLeftOut.clear();
    last_update_.RolledBack = roll_back();
  };

  // Workers start with the first block they get and are joined when the
  // transaction ends, however it ends.
  const int threads = CompressionThreadCount(CompressionThreads);
  // While an item is written, the first blocks of the items after it are
  // read ahead for the workers.
  DirAheadItems ahead_items(dir, pipeline_.Writing());
  // One block in flight beyond one per worker keeps every worker busy and the
  // memory of the job small.
  if (threads > 1) {
    parallel_ = std::make_unique<ParallelDeflate>(threads, threads + 1);
    lookahead_ = std::make_unique<EntryLookahead>(
        *parallel_, env_,
        platform::kOpenRead | ShareModeFlags(Options.ShareMode), ahead_items);
  }
  pipeline_.Writer().SetCompressor(parallel_.get(), lookahead_.get());
  struct WorkersEnd {
    ArchiverCore& core;
    ~WorkersEnd() {
      core.pipeline_.Writer().SetCompressor(nullptr, nullptr);
      core.lookahead_.reset();
      core.parallel_.reset();
    }
  } workers_end{*this};

  volumes_.undo().Begin();
  undo.Record([this] { return RollbackUpdate(); });
  try {
    BeginRewrite();
    pipeline_.WriteItems(dir, DirManager->SavedDir, last_update_.FilesLeftOut);

    if (!pipeline_.Cancelled() && !pipeline_.Aborted()) {
      platform::MemoryStream* staged = volumes_.staging();
      if (staged != nullptr && staged->Size() > 0) {
        volumes_.stream()->WriteBuffer(staged->data(), staged->Size());
        staged->Clear();
      }
      if (place_.staging) {
        PublishStagedTail();
      } else {
        DirManager->SaveDir(true, volumes_.stream());
      }
    }
  } catch (...) {
    fail();
    throw;
  }
  volumes_.StopStaging();

  if (pipeline_.Cancelled() || pipeline_.Aborted()) {
    if (pipeline_.Cancelled() || pipeline_.CopyCancelled()) {
      last_update_.Outcome = uoCancelled;
    } else {
      last_update_.Outcome = uoAborted;
      last_update_.NativeError = pipeline_.LastFailure().native_error;
      last_update_.Message = pipeline_.LastFailure().message;
    }
    last_update_.FilesLeftOut.clear();
    last_update_.RolledBack = roll_back();
    if (!last_update_.RolledBack) throw platform::EWriteError();
    return;
  }

  // The undo log is kept until the final progress event: a Cancel given
  // there still puts the old archive back, unless a moved source is gone.
  bool sources_deleted = false;
  std::exception_ptr late_error;
  try {
    DeleteMovedSources(*this, sources_deleted);
    cancel = false;
    DoOverallProgress(100.0, operation, ppEnd, cancel);
  } catch (...) {
    if (!sources_deleted) {
      fail();
      throw;
    }
    // A source is gone, so the archive holds its only copy: the update is
    // kept, and the exception raised once it is complete.
    late_error = std::current_exception();
    cancel = false;
  }
  if (cancel && !sources_deleted) {
    progress.CancelRequested = true;
    last_update_.Outcome = uoCancelled;
    last_update_.FilesLeftOut.clear();
    last_update_.RolledBack = roll_back();
    if (!last_update_.RolledBack) throw platform::EWriteError();
    return;
  }

  try {
    if (place_.staging) CommitStagedTail();
  } catch (...) {
    // The staged copy and its directory are still in place: the archive
    // holds the update, though not yet moved down.
    DescribeCurrentException(last_update_);
    last_update_.Outcome = uoFailed;
    volumes_.undo().Commit();
    place_.backup = nullptr;
    throw;
  }
  volumes_.undo().Commit();
  place_.backup = nullptr;
  last_update_.Outcome = uoApplied;
  FlushArchive(*this);
  if (late_error) std::rethrow_exception(late_error);
}

}  // namespace tessaly::engine
