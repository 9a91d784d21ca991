// The working half of the archiver component: its state and the operations
// that select files, write entries and place bytes into volumes. The
// published component (engine/archiver.h) derives from it and adds the
// property setters, the event dispatchers with their defaults, and opening,
// updating and closing.
//
// The operations are split by responsibility over several files:
//   file_selection.cc  ScanFileMasks and the per-file steps beneath it
//   entry_pipeline.cc  ApplyUpdate, WriteEntry, PackEntryData, CopyEntry,
//                      backup and rollback
//   volume_writer.cc   OpenVolume, WriteToVolumes, CopyToVolumes
//   volume_naming.cc   MakeVolumeName and the drive helpers
//
// Thread rules: an archiver is used from one thread. File selection holds
// the process-wide ScanLock for a whole scan.
#ifndef TESSALY_ENGINE_IO_ARCHIVER_CORE_H_
#define TESSALY_ENGINE_IO_ARCHIVER_CORE_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/archiver_events.h"
#include "engine/component.h"
#include "engine/directory/dir_manager.h"
#include "engine/directory/dir_owner.h"
#include "engine/options.h"
#include "engine/string_list.h"
#include "engine/types.h"
#include "engine/volume_number_info.h"
#include "platform/env.h"
#include "platform/memory_stream.h"
#include "platform/stream.h"

namespace tessaly::engine {

// The process-wide lock held by file selection for a whole scan. Recursive,
// so that an event handler may start a scan of another archiver.
std::recursive_mutex& ScanLock();

class ArchiverCore : public Component, public DirOwner {
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

  // ---- Event dispatchers: raise one event or apply its default -----------
  // (implemented by the component, engine/archiver.cc). Volume indexes are
  // zero-based here; handlers receive them counted from 1.
  virtual void DoOverallProgress(double Progress, TZAProcessOperation Operation,
                                 TZAProgressPhase ProgressPhase,
                                 bool& Cancel) = 0;
  virtual void DoFileProgress(const std::string& FileName, double Progress,
                              TZAProcessOperation Operation,
                              TZAProgressPhase ProgressPhase, bool& Cancel) = 0;
  virtual void DoCopyTempFileProgress(double Progress,
                                      TZAProgressPhase ProgressPhase,
                                      bool& Cancel) = 0;
  virtual void DoConfirmOverwrite(const std::string& SourceFileName,
                                  std::string& DestFileName, bool& Confirm) = 0;
  virtual void DoConfirmProcessFile(const std::string& FileName,
                                    TZAProcessOperation Operation,
                                    bool& Confirm) = 0;
  virtual void DoPassword(const std::string& FileName, std::string& NewPassword,
                          bool& SkipFile) = 0;
  virtual void DoProcessFileFailure(const std::string& FileName,
                                    TZAProcessOperation Operation,
                                    int32_t NativeError, int32_t ErrorCode,
                                    const std::string& ErrorMessage,
                                    TZAAction& Action) = 0;
  virtual void DoRequestBlankVolume(int32_t VolumeIndex,
                                    std::string& VolumeFileName,
                                    bool& Cancel) = 0;
  virtual void DoRequestFirstVolume(std::string& VolumeFileName,
                                    bool& Cancel) = 0;
  virtual void DoRequestLastVolume(std::string& VolumeFileName,
                                   bool& Cancel) = 0;
  virtual void DoRequestMiddleVolume(int32_t VolumeIndex,
                                     std::string& VolumeFileName,
                                     bool& Cancel) = 0;
  virtual void DoDiskFull(int32_t VolumeIndex,
                          const std::string& VolumeFileName, bool& Cancel) = 0;
  virtual void DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                           std::string& Comment,
                           const std::string& OriginalFileName) = 0;
  virtual void DoExtractFile(std::string& FileName, uint32_t& FileAttr,
                             const std::string& Comment) = 0;

  // ---- File selection (file_selection.cc) ---------------------------------
  // Walks the file system for every mask and queues pending items in Dir.
  // Holds ScanLock and swaps CurrentBaseDir for the whole scan.
  void ScanFileMasks(const TStringList& masks, int32_t search_attr,
                     bool recurse, bool move, const TStringList& exclusions);
  // For each mask of the last ScanFileMasks, in order: how many files and
  // folders it found that no exclusion mask left out.
  const std::vector<int32_t>& MaskMatchCounts() const {
    return mask_match_counts_;
  }
  void ScanFolder(const std::string& folder, const std::string& root,
                  const std::string& mask, bool recurse);
  // (Path, Plain) for a mask relative to `folder`.
  std::string ResolveMask(const std::string& mask, const std::string& folder,
                          bool& plain);
  std::string ResolvePath(const std::string& base, const std::string& name,
                          const std::string& default_base);
  bool PathMatchesMask(const std::string& path, const std::string& mask,
                       bool is_folder);
  bool FilterFoundFile(const platform::FoundFile& found,
                       const std::string& folder, const std::string& root);
  void AddFoundFile(const std::string& full_name, const std::string& root,
                    const platform::FoundFile& found);
  int32_t PrepareItem(const std::string& full_name, const std::string& root);
  void InitItem(int32_t index, const std::string& full_name);
  std::string MakeStoredName(const std::string& path, const std::string& root,
                             TZAStorePathMode mode, const std::string& base);

  // ---- Entry pipeline (entry_pipeline.cc) ---------------------------------
  // Applies every pending item in one step; rolls back on cancel, abort or
  // exception (the exception is raised again). Does nothing outside a
  // transaction.
  void ApplyUpdate();
  bool WriteEntry(int32_t index);
  bool PackEntryData(platform::Stream& source, platform::Stream& output,
                     TDirItem& item);
  void CopyEntry(int32_t index);
  int32_t FindFirstChange();
  // The number of the last volume of the open archive, from its end record.
  int32_t LastVolumeNumber() const;
  // Whether the rewriting of the running update begins on the last volume
  // (for multi-volume archives the only volume an update may change).
  bool StartsOnLastVolume() const;
  void BackupTail();
  void RestoreBackup();
  void RollbackUpdate();
  static uint16_t ShareModeFlags(TZAFileShareMode mode);
  // A new unique temporary file (created empty) with the prefix "FC" in
  // TempDir, else the system's temporary folder.
  std::string TempFileName();

  // ---- Volumes (volume_naming.cc, volume_writer.cc) -----------------------
  std::string MakeVolumeName(const std::string& name, int32_t index,
                             bool try_other);
  // The name under which the volume file `name` exists: `name` itself, or,
  // when that is missing, a file in the same folder whose name differs only
  // in letter case (case-sensitive file systems; the first in byte order
  // when there are several). "" when there is none.
  std::string ExistingVolumeName(const std::string& name);
  static bool HasExeExtension(const std::string& name);
  bool IsFloppyDrive(const std::string& name) const;
  int64_t DiskFreeSpace(const std::string& name);
  void OpenVolumeStream(const std::string& name);
  // OpenVolume for a new volume that must hold `room_needed` contiguous
  // bytes: when creating, a disk with less free space counts as full.
  void OpenVolume(TZAVolumeNumberInfo& info, int64_t room_needed);
  // Writes `count` bytes into the volume sequence (to `staging` when given,
  // else to `stream`), opening the next volume (info and stream follow it)
  // whenever the current one is full. keep_together -1: the bytes may be
  // divided; >= 0: they go whole into a volume that has room for them plus
  // keep_together more bytes. Returns the bytes written: fewer than `count`
  // when the disk cannot be measured, the device refuses bytes, or a piece
  // that may not be divided is larger than any volume. Raises EZAException
  // 45 when a needed volume is declined, 46 when staged bytes cannot be
  // written out. smNone: a plain write to `stream`.
  int64_t WriteToVolumes(const void* buffer, int64_t count,
                         int64_t keep_together, TZAVolumeNumberInfo& info,
                         platform::Stream*& stream,
                         platform::MemoryStream* staging);
  // Copies `size` bytes of `source` (-1: up to its end) through
  // WriteToVolumes in blocks of 1,000,000 bytes. With report_progress,
  // raises DoCopyTempFileProgress ppStart 0 (a Cancel there returns at
  // once), ppProcess after each block (a Cancel stops the copy) and ppEnd
  // 100. On return `cancel` is true when any of these events answered
  // Cancel. Raises EZAException 46 when the volumes take fewer bytes,
  // platform::EReadError when `source` gives fewer.
  void CopyToVolumes(platform::Stream& source, platform::Stream*& stream,
                     bool report_progress, platform::MemoryStream* staging,
                     int64_t keep_together, int64_t size, bool& cancel,
                     TZAVolumeNumberInfo& info);

  // ---- DirOwner -----------------------------------------------------------
  const Component* OwnerComponent() const override { return this; }
  platform::Env& OwnerEnv() override { return env_; }
  bool IsZipFormat() const override { return ZipFormat; }
  bool UsesOemFileNames() const override { return Options.OEMFileNames; }
  bool ShouldRebuildDirectory() const override { return RebuildDirectory; }
  TZASpanningMode CurrentSpanningMode() const override {
    return spanning_mode_;
  }
  const std::string& ArchiveFileName() const override { return FileName; }
  const std::string& StubFileName() const override { return SFXStub; }
  platform::Stream* ArchiveStream() override { return archive_stream_.get(); }
  void ReplaceArchiveStream(std::unique_ptr<platform::Stream> stream,
                            const std::string& volume_name) override;
  void ReleaseArchiveStream() override;
  const std::string& CurrentVolumeFileName() const override {
    return CurrentVolumeName;
  }
  TZAVolumeNumberInfo& CurrentVolumeInfo() override { return CurrentVolume; }
  int64_t VolumeLimitFor(const TZAVolumeNumberInfo& info) const override {
    return SpanningOptions.VolumeSizeFor(info);
  }
  std::string VolumeName(const std::string& name, int32_t index,
                         bool try_other) override {
    return MakeVolumeName(name, index, try_other);
  }
  void OpenVolume(TZAVolumeNumberInfo& info) override;
  int64_t WriteToVolumesChecked(const void* buffer, int64_t count,
                                int64_t keep_together,
                                TZAVolumeNumberInfo& info,
                                platform::Stream*& stream,
                                platform::MemoryStream* staging) override;

  platform::Env& env() { return env_; }

  // ---- Internal state (fields of the component) --------------------------
  std::string CurrentBaseDir;
  int32_t UpdateCount = 0;
  bool ArchiveOpen = false;
  bool ZipFormat = false;
  std::string CurrentVolumeName;
  TZAVolumeNumberInfo CurrentVolume;
  uint16_t OpenMode = 0;
  int32_t FilesDone = 0;
  int32_t FilesTotal = 0;
  bool CancelRequested = false;
  bool ProgressEnabled = false;
  bool RebuildDirectory = true;
  bool UpdateApplied = false;
  std::unique_ptr<TZADirManager> DirManager;  // while an archive is open
  uint16_t EntryMethod = 0xFFFF;
  double FileBytesDone = 0;
  double FileBytesTotal = 0;

 protected:
  platform::Env& env_;
  std::unique_ptr<platform::Stream> archive_stream_;
  TZACompressionLevel compression_level_ = clFastest;
  uint8_t compression_mode_ = 1;
  TZASpanningMode spanning_mode_ = smNone;
  bool in_memory_ = false;

  // State of the running scan (file_selection.cc).
  bool scan_move_ = false;
  const TStringList* scan_exclusions_ = nullptr;
  int32_t scan_search_attr_ = 0;
  // Identities (platform::Env::FolderId) of the folders ScanFolder is in.
  std::vector<std::string> scan_folder_ids_;
  std::vector<int32_t> mask_match_counts_;
  size_t scan_mask_index_ = 0;

  // State of the running apply step (entry_pipeline.cc).
  int32_t first_change_ = 0;
  int64_t start_ = 0;
  std::unique_ptr<platform::Stream> backup_;
  std::string backup_name_;
  TZAAction action_ = fxaIgnore;
  bool copy_cancel_ = false;
  // In spanning mode on a floppy drive all entry output is staged here so
  // that each volume file is written in one piece.
  std::unique_ptr<platform::MemoryStream> floppy_staging_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_ARCHIVER_CORE_H_
