// The archiver component: the engine's public face. An application creates
// one (or places one on a window), sets its properties, and drives it with
// Open, AddMatchingFiles and Close, optionally grouping changes with
// BeginUpdate/EndUpdate. Every event reaches the application through one
// dispatcher (Do...), which also supplies the default answer or dialog when
// no handler is set.
//
// TZABaseArchiver holds the behaviour; TZipArchiver is the component that
// applications instantiate: standard ZIP signatures, deflate, and Zip64Mode
// starting at zmDisabled.
//
// Thread rules: one thread uses an archiver; handlers run on that thread.
#ifndef TESSALY_ENGINE_ARCHIVER_H_
#define TESSALY_ENGINE_ARCHIVER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/dialog_service.h"
#include "engine/directory/entry_info.h"
#include "engine/archiver_core.h"
#include "engine/selection/file_selector.h"

namespace tessaly::engine {

class TZABaseArchiver : public ArchiverCore, public SelectionHost {
 public:
  // REQUIRES: `env` outlives the archiver.
  explicit TZABaseArchiver(platform::Env& env = platform::Env::Default());
  // Closes the archive (applying pending work), then frees what it owns.
  ~TZABaseArchiver() override;

  // ---- Properties with rules ---------------------------------------------
  // Sets the level and the matching mode (0, 1, 6, 9).
  void SetCompressionLevel(TZACompressionLevel level);
  // Sets the mode and the matching level. Raises EZAException 5 above 9,
  // changing nothing.
  void SetCompressionMode(uint8_t mode);
  // "2.72 ", whatever the locale. Setting it has no effect.
  std::string CurrentVersion() const;
  void SetCurrentVersion(const std::string& value);
  // Raises platform::Exception "Cannot set spanning mode on open archive"
  // while an archive is open.
  void SetSpanningMode(TZASpanningMode mode);
  // Switches between an in-memory and an on-disk archive; on an open
  // archive by writing it out (on-disk) or starting afresh (in memory).
  // Raises EZAException 29 when switching an open archive to disk with an
  // empty FileName; EFCreateError when the file cannot be created.
  void SetInMemory(bool value);
  // Copy the given lines into the owned lists.
  void SetFileMasks(const TStringList& masks);
  void SetExclusionMasks(const TStringList& masks);
  void SetNoCompressionMasks(const TStringList& masks);

  // The boxes shown by default dispatchers; the process default when unset.
  // REQUIRES: `service` outlives the archiver (not owned).
  void SetDialogService(DialogService* service) { dialogs_ = service; }
  DialogService& Dialogs() const;

  // ---- Operations ---------------------------------------------------------
  // Opens (Mode 0xFFFF: creates, replacing any file of that name) the
  // archive FileName. Raises EZAException 10, 12, 28, 45, 48 (see .cc).
  void Open(uint16_t Mode);
  // Chooses the mode: create when the file does not exist (or in memory),
  // read-write when it can be opened so, else read-only. Raises 9.
  void Open();
  // Applies pending work (errors are swallowed), writes an empty archive's
  // end record, releases the stream and the directory.
  void Close();
  // Adds every file selected by FileMasks in one update transaction.
  // Raises 13 (not open), 52 (filled multi-volume archive outside a
  // transaction), 62, 32, and whatever selection or writing raises (the
  // transaction is then discarded).
  void AddMatchingFiles();
  // Selects files as AddMatchingFiles does, with the given masks and
  // settings (engine/selection/file_selector.h), queueing pending items in
  // the running update transaction. When the host answers Abort to a
  // failure of selection, everything the transaction queued is dropped
  // (the directory goes back to where the transaction began, UpdateCount
  // to 0) and LastUpdate() tells so. Raises 13 when no archive is open.
  // REQUIRES: an open update transaction (AddMatchingFiles opens one).
  void ScanFileMasks(const TStringList& masks, int32_t search_attr,
                     bool recurse, bool move, const TStringList& exclusions);
  // For each mask of the last ScanFileMasks, in order: how many files and
  // folders it found that no exclusion mask left out.
  const std::vector<int32_t>& MaskMatchCounts() const {
    return selector_.MaskMatchCounts();
  }
  // Opens a (nestable) update transaction. Raises 62, 32.
  void BeginUpdate();
  // Closes one level; the outermost applies the pending work.
  void EndUpdate();
  // Drops every transaction level without applying anything.
  void DiscardUpdate();
  bool IsUpdating() const { return UpdateCount > 0; }
  void SetActive(bool value);

  // ---- Entries (archive_entries.cc) ---------------------------------------
  // The number of entries in the open archive's directory, those an update
  // has pending included; 0 when no archive is open.
  int32_t EntryCount() const;
  // Entry `index` in directory order. REQUIRES: 0 <= index < EntryCount().
  EntryInfo Entry(int32_t index) const;

  // ---- Dispatchers --------------------------------------------------------
  virtual void UpdateCompressionMethod();
  void DoOverallProgress(double Progress, TZAProcessOperation Operation,
                         TZAProgressPhase ProgressPhase, bool& Cancel) override;
  void DoFileProgress(const std::string& FileName, double Progress,
                      TZAProcessOperation Operation,
                      TZAProgressPhase ProgressPhase, bool& Cancel) override;
  void DoCopyTempFileProgress(double Progress, TZAProgressPhase ProgressPhase,
                              bool& Cancel) override;
  void DoConfirmOverwrite(const std::string& SourceFileName,
                          std::string& DestFileName, bool& Confirm) override;
  void DoConfirmProcessFile(const std::string& FileName,
                            TZAProcessOperation Operation,
                            bool& Confirm) override;
  virtual void DoPassword(const std::string& FileName,
                          std::string& NewPassword, bool& SkipFile);
  void DoProcessFileFailure(const std::string& FileName,
                            TZAProcessOperation Operation, int32_t NativeError,
                            int32_t ErrorCode, const std::string& ErrorMessage,
                            TZAAction& Action) override;
  void DoRequestBlankVolume(int32_t VolumeIndex, std::string& VolumeFileName,
                            bool& Cancel) override;
  void DoRequestFirstVolume(std::string& VolumeFileName, bool& Cancel) override;
  void DoRequestLastVolume(std::string& VolumeFileName, bool& Cancel) override;
  void DoRequestMiddleVolume(int32_t VolumeIndex, std::string& VolumeFileName,
                             bool& Cancel) override;
  void DoDiskFull(int32_t VolumeIndex, const std::string& VolumeFileName,
                  bool& Cancel) override;
  virtual void DoInternalEvent();
  void DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                   std::string& Comment,
                   const std::string& OriginalFileName) override;
  virtual void DoExtractFile(std::string& FileName, uint32_t& FileAttr,
                             const std::string& Comment);

 protected:
  // Whether `name` lies on a removable drive ("A:", "B:", or a drive the
  // system reports as removable).
  bool IsRemovable(const std::string& name);
  // Whether the volume `name` exists, under that name or one differing only
  // in letter case; `name` then becomes the name on disk.
  bool ResolveExistingVolume(std::string& name);

 private:
  void CreateArchive();
  void OpenExisting();
  void ProbePlain();
  void ProbeSelfExtracting();
  void ProbeLastVolume();
  void DetectSpanningMode();
  bool HasFileNamePart() const;

  DialogService* dialogs_ = nullptr;
  std::function<void()> internal_event_;
  FileSelector selector_;
};

class TZipArchiver : public TZABaseArchiver {
 public:
  explicit TZipArchiver(platform::Env& env = platform::Env::Default());
  ~TZipArchiver() override;

  // Method 8 (deflate) for modes 1..9, 0 (stored) for mode 0.
  void UpdateCompressionMethod() override;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ARCHIVER_H_
