// The working half of the archiver component: its state and the update
// transaction around the entry pipeline. The published component
// (engine/archiver.h) derives from it and adds the property setters, the
// event dispatchers with their defaults, file selection (through
// engine/selection/file_selector.h), and opening, updating and closing.
//
// The units it owns do the work below it:
//   VolumeSequence (engine/volumes)  the archive stream and its volumes
//   EntryPipeline (engine/entries)   writing and carrying over the items
// Its own operations are split over:
//   archive_update.cc    ApplyUpdate: where the rewriting starts, backup,
//                        directory, final events, rollback
//   staged_tail.cc       rewriting a single-file archive behind its first
//                        change through a staged copy
//   archiver_volumes.cc  volume names from the settings
//
// Thread rules: an archiver is used from one thread.
#ifndef TESSALY_ENGINE_ARCHIVER_CORE_H_
#define TESSALY_ENGINE_ARCHIVER_CORE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/archiver_events.h"
#include "engine/base/component.h"
#include "engine/directory/dir_manager.h"
#include "engine/directory/dir_owner.h"
#include "engine/entries/entry_events.h"
#include "engine/entries/entry_pipeline.h"
#include "engine/entries/entry_placement.h"
#include "engine/io/entry_lookahead.h"
#include "engine/io/parallel_deflate.h"
#include "engine/volumes/volume_naming.h"
#include "engine/base/options.h"
#include "engine/base/string_list.h"
#include "engine/base/types.h"
#include "engine/base/update_result.h"
#include "engine/base/volume_number_info.h"
#include "engine/base/za_exception.h"
#include "engine/volumes/volume_sequence.h"
#include "platform/env.h"
#include "platform/memory_stream.h"
#include "platform/stream.h"

namespace tessaly::engine {

class ArchiverCore : public Component,
                     public DirOwner,
                     public VolumeHost,
                     public EntryEvents {
 public:
  // REQUIRES: `env` outlives the archiver.
  explicit ArchiverCore(platform::Env& env);
  ~ArchiverCore() override;

  // ---- Plain-field properties --------------------------------------------
  bool ExtractCorruptedFiles = false;
  std::string Password;  // given to new entries
  std::string FileName;  // the archive (for split archives: the last volume)
  std::string BaseDir;   // folder for relative masks and stored paths
  std::string TempDir;   // folder for temporary files; empty: the system's
  std::string SFXStub;   // self-extractor stub copied before a new archive
  TZip64Mode Zip64Mode = zmAuto;
  // Threads that compress new entries: 0 one per processor core, 1 the
  // writing thread alone. The archive is the same for every number.
  int32_t CompressionThreads = 0;

  // ---- Owned option objects and mask lists --------------------------------
  TZAOptions Options;
  TZASpanningOptions SpanningOptions;
  TStringList FileMasks;
  TStringList ExclusionMasks;
  TStringList NoCompressionMasks;

  // ---- Events (plain fields) ---------------------------------------------
  TZAFileProgressEvent OnFileProgress;
  TZAProgressEvent OnOverallProgress;
  TZACopyTempFileProgressEvent OnCopyTempFileProgress;
  TZAConfirmOverwriteEvent OnConfirmOverwrite;
  TZAConfirmProcessFileEvent OnConfirmProcessFile;
  TNotifyEvent AfterOpen;
  TZAOnPasswordEvent OnPassword;
  TZAProcessFileFailureEvent OnProcessFileFailure;
  TZAOnRequestBlankVolumeEvent OnRequestBlankVolume;
  TZAOnRequestFirstVolumeEvent OnRequestFirstVolume;
  TZAOnRequestLastVolumeEvent OnRequestLastVolume;
  TZAOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
  TZAOnDiskFullEvent OnDiskFull;
  TZAOnStoreFileEvent OnStoreFile;
  TZAOnExtractFileEvent OnExtractFile;

  // ---- Read-only views of properties with setters (setters: archiver.h) --
  TZACompressionLevel CompressionLevel() const { return compression_level_; }
  uint8_t CompressionMode() const { return compression_mode_; }
  TZASpanningMode SpanningMode() const { return spanning_mode_; }
  bool InMemory() const { return in_memory_; }
  bool IsOpen() const { return ArchiveOpen; }
  // What became of the last update transaction (engine/base/update_result.h).
  const TZAUpdateResult& LastUpdate() const { return last_update_; }

  // ---- Views of the internal state ---------------------------------------
  // The directory store of the open archive; null while none is open.
  TZADirManager* DirectoryStore() const { return DirManager.get(); }
  // The nesting depth of update transactions (0: none is open).
  int32_t UpdateDepth() const { return UpdateCount; }
  // The mode of the last Open.
  uint16_t LastOpenMode() const { return OpenMode; }
  // The method written into new entries: 0 stored, 8 deflated; 0xFFFF in
  // the base class.
  uint16_t NewEntryMethod() const { return EntryMethod; }
  // Standard ZIP signatures and names (true), or the alternate set.
  bool IsZipFormat() const override { return ZipFormat; }
  // Whether opening goes on without an end record, rebuilding the
  // directory from the entries (true after construction).
  bool ShouldRebuildDirectory() const override { return RebuildDirectory; }
  void SetRebuildDirectory(bool value) { RebuildDirectory = value; }
  // The number of the last volume of the open archive, from its end record.
  int32_t LastVolumeNumber() const;

  // The event dispatchers the core raises are declared by its interfaces
  // and implemented by the component (engine/archiver.cc): the volume
  // requests and the copy progress by VolumeHost, the progress events and
  // the failure dialogue by EntryEvents. Volume indexes are zero-based
  // there; handlers receive them counted from 1.

  // ---- Volumes -------------------------------------------------------------
  // The archive stream and its volumes (engine/volumes/volume_sequence.h).
  VolumeSequence& Volumes() { return volumes_; }
  const VolumeSequence& Volumes() const { return volumes_; }

  // ---- Volume naming (archiver_volumes.cc) --------------------------------
  // How this archive's volumes are named, from the spanning settings, a
  // stub (SFXStub, or one found in front of the open archive) and the
  // entry method.
  VolumeNaming Naming() const override;
  // Volume `index` (-1: the last) of the archive `name` under Naming();
  // with try_other, as found on disk (engine/volumes/volume_naming.h
  // FindVolumeFileName).
  std::string MakeVolumeName(const std::string& name, int32_t index,
                             bool try_other);
  // The archive's own files: FileName and, for a split archive, every
  // volume that exists now, under its name on disk.
  std::vector<std::string> ArchiveFileNames();
  // The name under which the volume file `name` exists: `name` itself, or,
  // when that is missing, a file in the same folder whose name differs only
  // in letter case (case-sensitive file systems; the first in byte order
  // when there are several). "" when there is none.
  std::string ExistingVolumeName(const std::string& name);

  platform::Env& env() { return env_; }

 protected:
  // ---- Update transaction (archive_update.cc) -----------------------------
  // Applies every pending item in one step; rolls back on cancel, abort or
  // exception (the exception is raised again). Does nothing outside a
  // transaction. LastUpdate tells how it ended.
  void ApplyUpdate();
  // Records that the update ended with `outcome` before anything was
  // changed, and raises `error`.
  [[noreturn]] void EndUntouched(TZAUpdateOutcome outcome,
                                 const EZAException& error);

  // ---- Internal state (fields of the component) --------------------------
  std::string CurrentBaseDir;
  int32_t UpdateCount = 0;
  bool ArchiveOpen = false;
  bool ZipFormat = false;
  uint16_t OpenMode = 0;
  bool RebuildDirectory = true;
  bool UpdateApplied = false;
  // Sources the selection of the running update transaction left out (a
  // failure answered Ignore, or a second file for a name already taken),
  // from the outermost BeginUpdate; the apply step hands them on to
  // LastUpdate().FilesLeftOut.
  std::vector<std::string> SelectionLeftOut;
  std::unique_ptr<TZADirManager> DirManager;  // while an archive is open
  uint16_t EntryMethod = 0xFFFF;

  platform::Env& env_;
  TZACompressionLevel compression_level_ = clFastest;
  uint8_t compression_mode_ = 1;
  TZASpanningMode spanning_mode_ = smNone;
  bool in_memory_ = false;
  TZAUpdateResult last_update_;
  // The archive stream, its volumes and their undo log. In spanning mode on
  // a floppy drive all entry output is staged there so that each volume
  // file is written in one piece.
  VolumeSequence volumes_;

 private:
  // ---- DirOwner -----------------------------------------------------------
  const Component* OwnerComponent() const override { return this; }
  platform::Env& OwnerEnv() override { return env_; }
  bool UsesOemFileNames() const override { return Options.OEMFileNames; }
  TZASpanningMode CurrentSpanningMode() const override {
    return spanning_mode_;
  }
  const std::string& StubFileName() const override { return SFXStub; }

  // ---- Steps of the update transaction (archive_update.cc) ---------------
  // The index of the first item that must be rewritten: the first whose
  // stored name differs from the old directory's at that index, or that is
  // pending; the shorter length when there is none.
  int32_t FindFirstChange();
  // Whether the rewriting of the running update begins on the last volume
  // (for multi-volume archives the only volume an update may change).
  bool StartsOnLastVolume() const;
  // Records in the undo log that the current volume changes from
  // place_.start on, with a copy of its old bytes from there (a temporary
  // file when they are many); the copy becomes place_.backup, from which
  // entries are carried over.
  void BackupTail();
  // Finds where the rewriting starts (place_.start), records the volume it
  // starts on, and prepares the archive: a single-file archive that changes
  // before its end is staged (BeginStaging); otherwise the old bytes from
  // there on are kept (BackupTail) and the volume is cut there.
  void BeginRewrite();
  // Puts the volume files back as they were before the running update
  // (through the volumes' undo log) and ends any staged rewriting. Returns
  // false when a volume could not be restored.
  bool RollbackUpdate();

  // ---- Staged rewriting (staged_tail.cc) ----------------------------------
  // A single-file archive whose entries change before its end is rewritten
  // without ever overwriting an entry that is still needed: the new tail is
  // first written after the archive's old end ("staged"), with its local
  // headers hidden until they are complete, then published with a
  // directory of its own, and only then moved down over the old tail.
  // Rolling back is cutting the archive back to its old end.
  //
  // Starts staging at the archive's end.
  void BeginStaging();
  // Makes the staged tail visible: moves it further out when moving it down
  // would overwrite it, writes the hidden signatures, then a directory and
  // end records for the staged layout, and flushes the file.
  void PublishStagedTail();
  // Moves the staged tail down to place_.start, cuts the archive behind it
  // and writes the final directory.
  void CommitStagedTail();

  // The compression workers of the running update transaction, when it
  // compresses on more than one thread (archive_update.cc).
  std::unique_ptr<ParallelDeflate> parallel_;
  // Reads the entries that follow ahead for those workers.
  std::unique_ptr<EntryLookahead> lookahead_;

  // State of the running apply step (archive_update.cc).
  int32_t first_change_ = 0;
  // Where the rewriting writes, with the staged rewriting's state
  // (staged_tail.cc).
  RewritePlace place_;
  int64_t stage_at_ = 0;       // where the staged tail begins in the stream
  int64_t staged_length_ = 0;  // its entries' bytes (without directory)
  // Writes the items of an update into volumes_.
  EntryPipeline pipeline_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ARCHIVER_CORE_H_
