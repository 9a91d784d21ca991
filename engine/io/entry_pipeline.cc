// The apply step of an update transaction.
//
// Everything up to the first changed item stays where it is. From there on
// the archive is rewritten: the old tail (entries and directory behind the
// first change) is saved into a temporary backup file, the archive is cut at
// the first change, and every item from there is either written anew from
// its source (entry_writer.cc) or carried over from the backup. Then the
// central directory is written. Cancel, an Abort answer or an exception put
// the archive back: with a backup it is cut again and the backup copied
// back; without one the old directory is written again at the cut.
//
// Moved sources are deleted last, and only after a successful update whose
// directory is written and flushed: a cancelled or aborted update never
// deletes a source, and once a source is gone the archive is never rolled
// back, so that no file is lost whatever the host answers. A moved folder is
// removed only when it is empty once its moved files are gone, so files that
// were not archived (excluded, or ignored after a failure) stay.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/directory/dir_array.h"
#include "engine/format/signatures.h"
#include "engine/io/archiver_core.h"
#include "engine/io/entry_pipeline_internal.h"
#include "engine/za_exception.h"
#include "platform/exception.h"
#include "platform/file_stream.h"
#include "platform/path.h"

namespace tessaly::engine {

namespace {

using platform::Stream;

// Sets the stream's position to `position` and cuts it there.
void CutAt(Stream& stream, int64_t position) {
  if (stream.Seek(position) != position || !stream.SetSize(position)) {
    throw platform::EWriteError();
  }
}

void DiscardBackup(platform::Env& env, std::unique_ptr<Stream>& backup,
                   std::string& name) {
  backup.reset();
  if (!name.empty()) env.RemoveFile(name);
  name.clear();
}

// Frees the streams that pending items own before the directory is replaced
// by its saved copy (the copy does not free them).
void FreeOwnedSources(TZADirArray& dir, const TZADirArray& saved) {
  for (int32_t i = 0; i < dir.Count(); ++i) {
    TDirItem& item = dir.ItemPtr(i);
    if (!item.OwnsSource || item.SourceStream == nullptr) continue;
    bool shared = false;
    for (int32_t j = 0; j < saved.Count() && !shared; ++j) {
      shared = saved.ItemPtr(j).SourceStream == item.SourceStream;
    }
    if (!shared) delete item.SourceStream;
    item.SourceStream = nullptr;
    item.OwnsSource = false;
  }
}

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
  Stream* archive = core.ArchiveStream();
  if (core.Options.FlushBuffers && archive != nullptr && archive->IsFile()) {
    archive->Flush();
  }
}

// Deletes the sources of moved items, files first, then their folders
// (deepest first). Returns whether any file went.
bool DeleteMovedSources(ArchiverCore& core) {
  platform::Env& env = core.env();
  const TZADirArray& dir = core.DirManager->Dir;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (int32_t k = 0; k < dir.Count(); ++k) {
    const TDirItem& item = dir.ItemPtr(k);
    if (!item.Pending || item.EntryAction != poMove) continue;
    (item.IsFolder() ? folders : files).push_back(item.SourceFileName);
  }
  if (files.empty() && folders.empty()) return false;
  FlushArchive(core);  // the archive holds the data before a source goes
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) {
                     return a.size() > b.size();
                   });
  bool deleted = false;
  for (const std::string& name : files) {
    const bool go_on = WithFailureDialogue(core, name, [&] {
      if (!env.RemoveFile(name)) {
        env.SetFileAttributes(name, 0);
        if (!env.RemoveFile(name)) throw EZAException(27, {name}, &core);
      }
      deleted = true;
    });
    if (!go_on) return deleted;
  }
  for (const std::string& name : folders) {
    const bool go_on = WithFailureDialogue(core, name, [&] {
      if (!env.RemoveDir(platform::ExcludeTrailingPathDelimiter(name))) {
        throw EZAException(60, {name}, &core);
      }
    });
    if (!go_on) break;
  }
  return deleted;
}

// The steps after the directory is written: moved sources, the final
// progress event, the flush. Once a source is deleted, a Cancel at the
// final event no longer rolls back (the archive holds the only copy).
void FinishUpdate(ArchiverCore& core, TZAProcessOperation operation) {
  const bool sources_deleted = DeleteMovedSources(core);
  bool cancel = false;
  core.DoOverallProgress(100.0, operation, ppEnd, cancel);
  if (cancel && !sources_deleted) {
    core.CancelRequested = true;
    core.RollbackUpdate();
    return;
  }
  FlushArchive(core);
}

}  // namespace

uint16_t ArchiverCore::ShareModeFlags(TZAFileShareMode mode) {
  switch (mode) {
    case smShareCompat:
      return platform::kShareCompat;
    case smShareExclusive:
      return platform::kShareExclusive;
    case smShareDenyWrite:
      return platform::kShareDenyWrite;
    case smShareDenyRead:
      return platform::kShareDenyRead;
    case smShareDenyNone:
      return platform::kShareDenyNone;
  }
  return platform::kShareCompat;
}

std::string ArchiverCore::TempFileName() {
  std::string name = env_.TempFileName(TempDir, "FC");
  if (name.empty()) {
    const std::string where =
        TempDir.empty()
            ? std::string("FC")
            : platform::IncludeTrailingPathDelimiter(TempDir) + "FC";
    throw platform::EFCreateError("Cannot create file \"" + where + "\"");
  }
  return name;
}

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
  const TDirItem& first = DirManager->SavedDir.ItemPtr(first_change_);
  const int64_t from = static_cast<int64_t>(first.LocalHeaderOffset());
  backup_name_ = TempFileName();
  backup_ = std::make_unique<platform::FileStream>(env_, backup_name_,
                                                   platform::kOpenCreate);
  if (archive_stream_->Seek(from) != from) throw platform::EReadError();
  backup_->CopyFrom(*archive_stream_, -1);
}

void ArchiverCore::RestoreBackup() {
  if (backup_ == nullptr) throw EZAException(6, this);
  CutAt(*archive_stream_, start_);
  backup_->Seek(0);
  archive_stream_->CopyFrom(*backup_, -1);
  DiscardBackup(env_, backup_, backup_name_);
}

void ArchiverCore::RollbackUpdate() {
  FreeOwnedSources(DirManager->Dir, DirManager->SavedDir);
  DirManager->Dir.Assign(DirManager->SavedDir);
  if (archive_stream_ == nullptr) return;
  if (backup_ != nullptr) {
    RestoreBackup();
  } else {
    CutAt(*archive_stream_, start_);
    DirManager->SaveDir(true, archive_stream_.get());
  }
}

void ArchiverCore::ApplyUpdate() {
  if (UpdateCount == 0) return;
  UpdateCount = 0;
  if (DirManager == nullptr) return;
  TZADirArray& dir = DirManager->Dir;
  TZADirArray& saved = DirManager->SavedDir;
  if (archive_stream_ == nullptr) {
    // A volume request declined earlier left no stream to write to.
    FreeOwnedSources(dir, saved);
    dir.Assign(saved);
    throw EZAException(13, this);
  }

  FilesDone = 0;
  FilesTotal = 0;
  CancelRequested = false;
  ProgressEnabled = true;
  action_ = fxaIgnore;
  copy_cancel_ = false;
  TZAProcessOperation operation = poDelete;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemPtr(i);
    if (!item.Pending) continue;
    if (FilesTotal == 0) operation = item.EntryAction;
    ++FilesTotal;
  }

  first_change_ = FindFirstChange();

  bool cancel = false;
  DoOverallProgress(0.0, operation, ppStart, cancel);
  if (cancel) {
    // Nothing is written; the directory in memory must not keep items that
    // the archive does not hold, or a later Close would record them.
    CancelRequested = true;
    FreeOwnedSources(dir, saved);
    dir.Assign(saved);
    return;
  }

  if (spanning_mode_ != smNone && saved.Count() > 0 && !StartsOnLastVolume()) {
    // Rewriting from an earlier volume would have to cut and rewrite every
    // volume after it; refuse before anything is touched.
    FreeOwnedSources(dir, saved);
    dir.Assign(saved);
    throw EZAException(52, this);
  }

  if (first_change_ < saved.Count()) {
    start_ =
        static_cast<int64_t>(saved.ItemPtr(first_change_).LocalHeaderOffset());
    try {
      BackupTail();
    } catch (...) {
      // The archive is untouched: only the directory goes back.
      DiscardBackup(env_, backup_, backup_name_);
      FreeOwnedSources(dir, saved);
      dir.Assign(saved);
      throw;
    }
  } else if (saved.Count() == 0) {
    start_ = DirManager->PrefixSize;
  } else {
    const EndRecord& end = DirManager->EndRecord;
    start_ = end.directory_offset == kZip64Marker32
                 ? static_cast<int64_t>(DirManager->Zip64End.directory_offset)
                 : static_cast<int64_t>(end.directory_offset);
  }

  try {
    CutAt(*archive_stream_, start_);
    if (spanning_mode_ != smNone && saved.Count() > 0) {
      // An existing multi-volume archive grows from its last volume, which
      // the archive stream is open on.
      CurrentVolume.SetNumber(LastVolumeNumber());
    } else {
      CurrentVolume.SetFirst(true);
    }
    if (spanning_mode_ == smSpanning && IsFloppyDrive(FileName)) {
      floppy_staging_ = std::make_unique<platform::MemoryStream>();
    }

    int32_t i = first_change_;
    while (i < dir.Count() && !CancelRequested) {
      const bool counted = dir.ItemPtr(i).Pending;
      bool written;
      do {
        action_ = fxaIgnore;
        written = true;
        const TDirItem& item = dir.ItemPtr(i);
        if (item.Pending && !pipeline::ChangesDirectoryOnly(item.EntryAction)) {
          written = WriteEntry(i);
        } else {
          CopyEntry(i);
        }
      } while (action_ == fxaRetry);
      if (action_ == fxaAbort || CancelRequested) break;
      if (written) {
        if (counted) ++FilesDone;
        ++i;
        continue;
      }
      // The item failed and the host chose to go on without it: a new item
      // is dropped; one that replaced an existing entry gets that entry back
      // (its old data and directory values), whatever its operation.
      ++FilesLeftOut;
      TDirItem& failed = dir.ItemPtr(i);
      const int32_t old = failed.EntryAction == poAdd
                              ? -1
                              : pipeline::FindOldItem(saved, failed);
      if (old < 0) {
        dir.DeleteItem(i);
        continue;
      }
      TDirItem previous;
      saved.GetItem(old, previous);
      if (failed.OwnsSource && failed.SourceStream != nullptr) {
        delete failed.SourceStream;
        failed.SourceStream = nullptr;
      }
      dir.PutItem(i, previous);
      CopyEntry(i);
      ++i;
    }

    if (!CancelRequested && action_ != fxaAbort) {
      if (floppy_staging_ != nullptr && floppy_staging_->Size() > 0) {
        archive_stream_->WriteBuffer(floppy_staging_->data(),
                                     floppy_staging_->Size());
        floppy_staging_->Clear();
      }
      DirManager->SaveDir(true, archive_stream_.get());
    }
  } catch (...) {
    floppy_staging_.reset();
    try {
      RollbackUpdate();
    } catch (...) {
      // The first failure is the one the caller must see.
    }
    DiscardBackup(env_, backup_, backup_name_);
    throw;
  }
  floppy_staging_.reset();

  if (CancelRequested || action_ == fxaAbort) {
    try {
      RollbackUpdate();
    } catch (...) {
      DiscardBackup(env_, backup_, backup_name_);
      throw;
    }
    DiscardBackup(env_, backup_, backup_name_);  // when the stream was gone
    return;
  }

  // The backup stays until the final progress event: a Cancel given there
  // still puts the old tail back.
  try {
    FinishUpdate(*this, operation);
  } catch (...) {
    DiscardBackup(env_, backup_, backup_name_);
    throw;
  }
  DiscardBackup(env_, backup_, backup_name_);
}

}  // namespace tessaly::engine
