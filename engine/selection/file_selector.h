// File selection: turns the selection masks into pending directory items.
// The selector walks the file system for every mask, leaves out what the
// exclusion masks name and the archive's own files, asks its host through
// events, and fills one directory item per selected file or folder. It
// writes nothing to the archive; the items stay pending until the update is
// applied.
//
// Thread rules: a selector is used from one thread (its archiver's). Every
// scan holds the process-wide ScanLock.
#ifndef TESSALY_ENGINE_SELECTION_FILE_SELECTOR_H_
#define TESSALY_ENGINE_SELECTION_FILE_SELECTOR_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/base/archiver_events.h"
#include "engine/base/options.h"
#include "engine/base/string_list.h"
#include "engine/base/types.h"
#include "engine/io/path_rules.h"
#include "platform/env.h"

namespace tessaly::engine {

class Component;
class EZAException;
class TZADirArray;

// The process-wide lock held by file selection for a whole scan, because a
// scan replaces its archiver's CurrentBaseDir for that long. Recursive, so
// that an event handler may start a scan of another archiver.
std::recursive_mutex& ScanLock();

// What the selector asks of its owner: the events raised for each file and
// the failure dialogue (their dispatchers, engine/archiver.h).
class SelectionHost : public FileFailureHost {
 public:
  virtual void DoConfirmProcessFile(const std::string& FileName,
                                    TZAProcessOperation Operation,
                                    bool& Confirm) = 0;
  virtual void DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                           std::string& Comment,
                           const std::string& OriginalFileName) = 0;
  virtual void DoConfirmOverwrite(const std::string& SourceFileName,
                                  std::string& DestFileName, bool& Confirm) = 0;
};

// The owner's settings the selector reads at each step (a handler may
// change them during a scan), and the two fields it keeps up to date.
struct SelectionSettings {
  const std::string& base_dir;  // BaseDir
  // StorePath, OverwriteMode, and OEMFileNames for the names' encoding.
  const TZAOptions& options;
  const TStringList& no_compression_masks;
  const std::string& password;  // given to new entries
  const uint16_t& entry_method;
  const uint8_t& compression_mode;
  // CurrentBaseDir: the folder relative names and masks resolve against.
  // A scan sets it to the resolved base_dir and puts the old value back
  // however it ends.
  std::string& current_base_dir;
  // Sources left out (a failure answered Ignore): each is appended.
  std::vector<std::string>& left_out;
};

// A failure of selection that the host answered Abort.
struct SelectionAbort {
  int32_t native_error = 0;
  std::string message;
};

class FileSelector {
 public:
  // `component` is named in the failures offered to the host. REQUIRES:
  // everything given outlives the selector.
  FileSelector(platform::Env& env, const Component* component,
               SelectionHost& host, SelectionSettings settings);
  FileSelector(const FileSelector&) = delete;
  FileSelector& operator=(const FileSelector&) = delete;

  // Scans every mask of `masks` in order and queues pending items in `dir`
  // (new entries, or entries of the same name replaced under
  // Options.OverwriteMode); `move` marks every item poMove. The files
  // `archive_files` (the archive's own) are never selected, by whatever
  // path they are reached. A file that would be stored under the name of
  // one selected before it in the same scan (letter case ignored, as the
  // directory ignores it), and a folder that exists but cannot be listed,
  // go to DoProcessFileFailure (kCodeSameName; kCodeOpenFile with the
  // folder's name): Retry tries again, Ignore leaves the file or folder out
  // (settings.left_out), and Abort ends the scan, returning that failure;
  // what the scan queued until then stays in `dir` for the caller to drop.
  // Exceptions of handlers and of invalid masks pass through; the lock is
  // released and current_base_dir put back in every case.
  std::optional<SelectionAbort> ScanFileMasks(
      TZADirArray& dir, const std::vector<std::string>& archive_files,
      const TStringList& masks, int32_t search_attr, bool recurse, bool move,
      const TStringList& exclusions);

  // For each mask of the last scan, in order: how many files and folders
  // it found that no exclusion mask left out.
  const std::vector<int32_t>& MaskMatchCounts() const {
    return mask_match_counts_;
  }

  // The absolute form of `name` relative to `base`, or to `default_base`
  // when `base` is empty (engine/io/path_rules.h), for the settings'
  // folders.
  std::string ResolvePath(const std::string& base, const std::string& name,
                          const std::string& default_base) const;

 private:
  // State of the running scan.
  struct ScanState {
    TZADirArray* dir = nullptr;
    bool move = false;
    const TStringList* exclusions = nullptr;
    int32_t search_attr = 0;
    // Identities (platform::Env::FolderId) of the folders ScanFolder is in.
    std::vector<std::string> folder_ids;
    // Identities (platform::Env::FileId) of the archive's own files.
    std::vector<std::string> archive_ids;
    // Every stored name selected so far, as a reader gets it back and
    // lower-cased as the directory compares names, with the full name of
    // the file it was selected from.
    std::unordered_map<std::string, std::string> selected;
    // Folders that could not be listed and were left out.
    std::unordered_set<std::string> unlisted;
  };

  void ScanFolder(const std::string& folder, const std::string& root,
                  const std::string& mask, bool recurse);
  // (Path, Plain) for a mask relative to `folder`.
  std::string ResolveMask(const std::string& mask, const std::string& folder,
                          bool& plain) const;
  bool PathMatchesMask(const std::string& path, const std::string& mask,
                       bool is_folder) const;
  // Whether any line of `masks` selects `path`.
  bool AnyMaskMatches(const TStringList* masks, const std::string& path,
                      bool is_folder) const;
  std::string MakeStoredName(const std::string& path, const std::string& root,
                             TZAStorePathMode mode,
                             const std::string& base) const;
  PathContext Context() const;
  // The entries FindFiles gives for `pattern`; std::nullopt when its folder
  // exists but cannot be listed and the host left it out. A missing folder
  // lists nothing.
  std::optional<std::vector<platform::FoundFile>> ListFolder(
      const std::string& pattern, uint32_t attribute_filter);
  bool FilterFoundFile(const platform::FoundFile& found,
                       const std::string& folder, const std::string& root);
  void AddFoundFile(const std::string& full_name, const std::string& root,
                    const platform::FoundFile& found);
  // The index of the item made or reused for the file; -1 when the file is
  // left out or the entry of its name stays.
  int32_t PrepareItem(const std::string& full_name, const std::string& root);
  void InitItem(int32_t index, const std::string& full_name);
  // Offers `failure` of `file` to the host: true for Retry; for Ignore the
  // file is left out and the result is false; Abort ends the scan.
  bool RetryAfter(const std::string& file, const EZAException& failure);

  platform::Env& env_;
  const Component* component_;
  SelectionHost& host_;
  SelectionSettings settings_;
  ScanState scan_;
  // What each mask of the last scan found (MaskMatchCounts), and the mask
  // being scanned.
  std::vector<int32_t> mask_match_counts_;
  size_t scan_mask_index_ = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_SELECTION_FILE_SELECTOR_H_
