// File selection: turns the selection masks into pending directory items.
//
// Each mask is resolved against the base folder and scanned in three steps:
// a full file name without wildcards is taken directly (whatever its
// attributes); otherwise the files matching the mask are taken by
// attribute; then the subfolders are visited, either because a folder
// matches the mask itself (it is added with all its content, even without
// recursion, when the folder bit is in the attribute filter) or to search
// them for the same mask (recursion). Exclusions are tested on every file
// and every folder before it is used.
//
// A found file becomes an item through PrepareItem: its stored name is
// formed (engine/io/path_rules.h), the host may change it, and an entry of
// the same name that the archive had before the scan is replaced or kept
// according to the overwrite mode. Nothing is written here; the items stay
// pending until the update is applied.
//
// One file never silently takes the place of another. Names are compared
// as the directory compares them, ignoring letter case, and in the form a
// reader of the archive gets back (after the code-page conversion), so
// 'CUST.dat' and 'cust.dat', or 'a/x.txt' and 'b/x.txt' stored without
// their paths, would meet. The first file selected under a name keeps it;
// a later, different file (the same file reached again through another
// mask or path follows the overwrite rules) goes to the failure dialogue.
// A name that the OEM code page cannot hold is flagged to be written in
// UTF-8 (engine/format/entry_name.h), so such names stay apart too.
//
// The archive's own files are recognised by identity (device and inode,
// or volume serial number and file index), not by path, so the archive is
// not packed into itself when it is reached through a symbolic link.
//
// All file system access goes through the Env, so that tests can inject
// faults. A mask that matches nothing, or names a folder that does not
// exist, adds nothing; a folder that exists but cannot be listed goes to
// the failure dialogue like a file that cannot be read. An Abort answer
// ends the scan; the caller drops the transaction's pending work.
// Exceptions of event handlers and of invalid masks pass through, with
// CurrentBaseDir and the scan state restored.

#include "engine/selection/file_selector.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/za_exception.h"
#include "engine/directory/dir_array.h"
#include "engine/format/entry_name.h"
#include "engine/format/signatures.h"
#include "engine/io/mask.h"
#include "engine/io/path_rules.h"
#include "platform/path.h"
#include "platform/stream.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

constexpr uint32_t kFolderBit = platform::kAttrDirectory;
// Filter for listing subfolders: folders, also hidden and system ones.
constexpr uint32_t kFolderSearch = 0x16;
// A file with no attribute bits at all is taken only when the filter holds
// every bit such a plain file could be thought to have.
constexpr uint32_t kPlainFileBits = 0x20 | 0x01 | 0x02 | 0x04;

// Thrown when the host answers Abort to a failure of selection; caught by
// ScanFileMasks, which returns the failure.
struct ScanAborted {
  int32_t native_error;
  std::string message;
};

// The key under which a stored name is taken within one scan: the name a
// reader of the archive gets back, lower-cased as directory lookups are.
std::string SelectionKey(const std::string& name, bool oem) {
  return platform::AnsiLowerCase(WrittenEntryName(name, oem));
}

// Whether the full names `a` and `b` lead to one file: the same file met
// again through another mask or another path is no second source.
bool SameFile(platform::Env& env, const std::string& a, const std::string& b) {
  if (a == b) return true;
  const std::string id = env.FileId(a);
  return !id.empty() && id == env.FileId(b);
}

bool HasWildcard(const std::string& s) {
  return s.find_first_of("*?") != std::string::npos;
}

bool HasSeparator(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (platform::IsPathDelimiter(s, i)) return true;
  }
  return false;
}

// Replace-by-age tests. MS-DOS date-times order correctly as unsigned
// numbers (date in the high half); -1, "no age" (a folder, an unreadable
// time), is older than any entry and never newer.
bool IsNewer(int32_t file_age, uint32_t entry_stamp) {
  return file_age != -1 && static_cast<uint32_t>(file_age) > entry_stamp;
}

bool IsOlder(int32_t file_age, uint32_t entry_stamp) {
  return file_age == -1 || static_cast<uint32_t>(file_age) < entry_stamp;
}

}  // namespace

std::recursive_mutex& ScanLock() {
  static std::recursive_mutex lock;
  return lock;
}

FileSelector::FileSelector(platform::Env& env, const Component* component,
                           SelectionHost& host, SelectionSettings settings)
    : env_(env), component_(component), host_(host), settings_(settings) {}

std::optional<SelectionAbort> FileSelector::ScanFileMasks(
    TZADirArray& dir, const std::vector<std::string>& archive_files,
    const TStringList& masks, int32_t search_attr, bool recurse, bool move,
    const TStringList& exclusions) {
  std::lock_guard lock(ScanLock());
  std::string& current_base_dir = settings_.current_base_dir;

  // Put back the state of the caller (possibly an outer scan) however the
  // scan ends.
  struct Restore {
    FileSelector& selector;
    std::string base_dir;
    ScanState scan;
    ~Restore() {
      selector.settings_.current_base_dir = std::move(base_dir);
      selector.scan_ = std::move(scan);
    }
  } restore{*this, current_base_dir, std::exchange(scan_, ScanState{})};

  // With the system's delimiters, as the names found on disk are written:
  // full names and masks are compared as text.
  current_base_dir = platform::NormalizePathDelimiters(
      ResolvePath(settings_.base_dir, "", restore.base_dir));
  scan_.dir = &dir;
  scan_.move = move;
  scan_.exclusions = &exclusions;
  scan_.search_attr = search_attr;
  for (const std::string& name : archive_files) {
    std::string id = env_.FileId(name);
    if (!id.empty()) scan_.archive_ids.push_back(std::move(id));
  }

  mask_match_counts_.assign(static_cast<size_t>(masks.Count()), 0);
  try {
    for (int i = 0; i < masks.Count(); ++i) {
      const std::string mask = masks.Get(i);
      const std::string folder = current_base_dir;
      scan_mask_index_ = static_cast<size_t>(i);
      ScanFolder(folder, folder, mask, recurse);
    }
  } catch (const ScanAborted& aborted) {
    return SelectionAbort{aborted.native_error, aborted.message};
  }
  return std::nullopt;
}

bool FileSelector::RetryAfter(const std::string& file,
                              const EZAException& failure) {
  TZAAction action = fxaIgnore;
  host_.DoProcessFileFailure(file, scan_.move ? poMove : poAdd,
                             failure.NativeError(), failure.ErrorCode(),
                             failure.what(), action);
  if (action == fxaRetry) return true;
  if (action == fxaAbort) {
    throw ScanAborted{failure.NativeError(), failure.what()};
  }
  settings_.left_out.push_back(file);
  return false;
}

PathContext FileSelector::Context() const {
  PathContext context;
  context.current_base_dir = settings_.current_base_dir;
  context.base_dir = settings_.base_dir;
  platform::Env* env = &env_;
  context.folder_exists = [env](const std::string& path) {
    return env->DirectoryExists(path);
  };
  context.current_folder = [env] { return env->CurrentDirectory(); };
  return context;
}

std::optional<std::vector<platform::FoundFile>> FileSelector::ListFolder(
    const std::string& pattern, uint32_t attribute_filter) {
  std::string folder = platform::ExtractFilePath(pattern);
  if (folder.empty()) folder = env_.CurrentDirectory();
  if (scan_.unlisted.count(folder) != 0) return std::nullopt;
  for (;;) {
    platform::ErrorKind error = platform::ErrorKind::kNone;
    std::vector<platform::FoundFile> found =
        env_.FindFiles(pattern, attribute_filter, &error);
    if (error == platform::ErrorKind::kNone ||
        error == platform::ErrorKind::kNotFound) {
      return found;
    }
    const EZAException failure(kCodeOpenFile, {folder}, component_);
    if (!RetryAfter(folder, failure)) {
      // Once is enough: the other masks of the scan list it too.
      scan_.unlisted.insert(folder);
      return std::nullopt;
    }
  }
}

void FileSelector::ScanFolder(const std::string& folder,
                              const std::string& root, const std::string& mask,
                              bool recurse) {
  bool plain = false;
  const std::string path = ResolveMask(mask, folder, plain);
  // An empty mask selects nothing. (Scanning on would list the current
  // folder and, recursing with the same empty mask, never end.)
  if (path.empty()) return;
  const std::string path_folder = platform::ExtractFilePath(path);
  const uint32_t search_attr = static_cast<uint32_t>(scan_.search_attr);

  // A full file name: that file alone, whatever its attributes.
  if (path == platform::NormalizePathDelimiters(mask) && !HasWildcard(path) &&
      env_.FileExists(path)) {
    const int32_t attributes = env_.FileAttributes(path);
    const platform::FoundFile found{platform::ExtractFileName(path),
                                    attributes < 0
                                        ? platform::kAttrArchive
                                        : static_cast<uint32_t>(attributes)};
    FilterFoundFile(found, path_folder, root);
    return;
  }

  const uint32_t file_filter = search_attr & ~kFolderBit;
  const auto files = ListFolder(path, file_filter);
  if (!files) return;
  for (const platform::FoundFile& found : *files) {
    if ((found.attributes & file_filter) != 0 ||
        (found.attributes == 0 &&
         (file_filter & kPlainFileBits) == kPlainFileBits)) {
      FilterFoundFile(found, path_folder, root);
    }
  }

  const bool add_folders = (search_attr & kFolderBit) != 0;
  if (!add_folders && !recurse) return;

  std::string dir = path_folder;
  // A plain mask that named a folder of its own ("sub\*.dat") still lists
  // the subfolders of the folder being scanned.
  if (plain && !folder.empty() &&
      ResolvePath(dir, "", settings_.current_base_dir).find(folder) ==
          std::string::npos) {
    dir = platform::IncludeTrailingPathDelimiter(folder);
  }
  // The folders being scanned, from the outermost to this one: a subfolder
  // that is one of them (a symbolic link or junction back up the tree)
  // is not entered, or the scan would repeat until names got too long.
  struct OnScanPath {
    std::vector<std::string>& ids;
    explicit OnScanPath(std::vector<std::string>& v, std::string id) : ids(v) {
      ids.push_back(std::move(id));
    }
    ~OnScanPath() { ids.pop_back(); }
  } on_path(scan_.folder_ids, env_.FolderId(dir));
  const auto folders = ListFolder(dir + "*", kFolderSearch);
  if (!folders) return;
  for (const platform::FoundFile& found : *folders) {
    if ((found.attributes & kFolderBit) == 0 || found.name == "." ||
        found.name == "..") {
      continue;
    }
    const std::string sub = dir + found.name;
    if (AnyMaskMatches(scan_.exclusions, sub, true)) continue;
    const std::string sub_id = env_.FolderId(sub);
    if (!sub_id.empty() &&
        std::find(scan_.folder_ids.begin(), scan_.folder_ids.end(), sub_id) !=
            scan_.folder_ids.end()) {
      continue;
    }
    // "*.*" must also take a folder whose name has no dot.
    if (add_folders && (MaskMatch(sub, path) || MaskMatch(sub + ".", path))) {
      if (FilterFoundFile(found, dir, root)) ScanFolder(sub, root, "*.*", true);
    } else if (recurse) {
      if (!HasSeparator(mask)) {
        ScanFolder(sub, root, mask, true);
      } else if (HasWildcard(mask)) {
        ScanFolder(sub, root, platform::ExtractFileName(path), true);
      }
      // A full name without wildcards names one file: nothing below.
    }
  }
}

std::string FileSelector::ResolveMask(const std::string& mask,
                                      const std::string& folder,
                                      bool& plain) const {
  ResolvedMask resolved = engine::ResolveMask(Context(), mask, folder);
  plain = resolved.plain;
  return std::move(resolved.path);
}

std::string FileSelector::ResolvePath(const std::string& base,
                                      const std::string& name,
                                      const std::string& default_base) const {
  return engine::ResolvePath(Context(), base, name, default_base);
}

bool FileSelector::PathMatchesMask(const std::string& path,
                                   const std::string& mask,
                                   bool is_folder) const {
  return engine::PathMatchesMask(Context(), path, mask, is_folder);
}

// First match wins. Each line is copied before use: a handler may change
// the list meanwhile.
bool FileSelector::AnyMaskMatches(const TStringList* masks,
                                  const std::string& path,
                                  bool is_folder) const {
  if (masks == nullptr) return false;
  for (int i = 0; i < masks->Count(); ++i) {
    const std::string mask = masks->Get(i);
    if (PathMatchesMask(path, mask, is_folder)) return true;
  }
  return false;
}

std::string FileSelector::MakeStoredName(const std::string& path,
                                         const std::string& root,
                                         TZAStorePathMode mode,
                                         const std::string& base) const {
  return engine::MakeStoredName(Context(), path, root, mode, base);
}

bool FileSelector::FilterFoundFile(const platform::FoundFile& found,
                                   const std::string& folder,
                                   const std::string& root) {
  const bool is_folder = (found.attributes & kFolderBit) != 0;
  std::string full_name =
      platform::IncludeTrailingPathDelimiter(
          ResolvePath(folder, "", settings_.current_base_dir)) +
      found.name;
  if (is_folder) {
    full_name = platform::IncludeTrailingPathDelimiter(full_name);
  }
  if (AnyMaskMatches(scan_.exclusions, full_name, is_folder)) {
    return false;
  }
  if (!is_folder && !scan_.archive_ids.empty()) {
    const std::string id = env_.FileId(full_name);
    if (!id.empty() && std::find(scan_.archive_ids.begin(),
                                 scan_.archive_ids.end(),
                                 id) != scan_.archive_ids.end()) {
      return false;  // the archive itself, reached by another path
    }
  }
  // (A handler may have started a scan with fewer masks meanwhile.)
  if (scan_mask_index_ < mask_match_counts_.size()) {
    ++mask_match_counts_[scan_mask_index_];
  }
  AddFoundFile(full_name, root, found);
  return true;
}

void FileSelector::AddFoundFile(const std::string& full_name,
                                const std::string& root,
                                const platform::FoundFile& found) {
  bool confirm = true;
  host_.DoConfirmProcessFile(full_name, scan_.move ? poMove : poAdd, confirm);
  if (!confirm) return;

  const int32_t index = PrepareItem(full_name, root);
  if (index < 0) return;
  TZADirArray& dir = *scan_.dir;
  if (scan_.move) dir.ItemPtr(index).EntryAction = poMove;

  const bool is_folder = (found.attributes & kFolderBit) != 0;
  if (AnyMaskMatches(&settings_.no_compression_masks, full_name, is_folder)) {
    TDirItem& item = dir.ItemPtr(index);
    item.EntryLevel = 0;
    // Stored; 255 marks "no method" for formats without deflate.
    item.header.method =
        (settings_.entry_method == 0 || settings_.entry_method == 8) ? 0 : 255;
  }
}

int32_t FileSelector::PrepareItem(const std::string& full_name,
                                  const std::string& root) {
  const TZAOptions& options = settings_.options;
  const bool is_folder = env_.DirectoryExists(full_name);
  std::string name;
  uint32_t attributes;
  std::string comment;
  for (;;) {
    name = MakeStoredName(full_name, root, options.StorePath,
                          settings_.current_base_dir);
    // (An empty name stays empty: an entry name never begins with '/'.)
    if (is_folder && !name.empty() && name.back() != '/') name += '/';

    attributes = platform::kAttrArchive;
    if (env_.FileExists(full_name)) {
      const int32_t found = env_.FileAttributes(full_name);
      if (found >= 0) attributes = static_cast<uint32_t>(found);
    } else if (is_folder) {
      attributes = kFolderBit;
    }
    comment.clear();
    host_.DoStoreFile(name, attributes, comment, full_name);

    const auto taken =
        scan_.selected.find(SelectionKey(name, options.OEMFileNames));
    if (taken == scan_.selected.end() ||
        SameFile(env_, taken->second, full_name)) {
      break;
    }
    const EZAException failure(kCodeSameName,
                               {taken->second, full_name, name}, component_);
    if (!RetryAfter(full_name, failure)) return -1;
  }

  TZADirArray& dir = *scan_.dir;
  int32_t index = -1;
  if (dir.FindName(name, index)) {
    bool replace = false;
    switch (options.OverwriteMode) {
      case omPrompt: {
        bool confirm = false;
        host_.DoConfirmOverwrite(full_name, name, confirm);
        replace = confirm;
        break;
      }
      case omAlways:
        replace = true;
        break;
      case omNever:
        break;
      case omIfNewer:
      case omIfOlder: {
        const CentralHeader& header = dir.ItemPtr(index).header;
        const uint32_t entry_stamp =
            (static_cast<uint32_t>(header.mod_date) << 16) | header.mod_time;
        const int32_t file_age = env_.FileAge(full_name);
        replace = options.OverwriteMode == omIfNewer
                      ? IsNewer(file_age, entry_stamp)
                      : IsOlder(file_age, entry_stamp);
        break;
      }
    }
    if (!replace) return -1;
    InitItem(index, full_name);
    TDirItem& item = dir.ItemPtr(index);
    item.Pending = true;
    item.SourceFileName = full_name;
    item.EntryAction = poUpdate;
  } else {
    TDirItem fresh;
    fresh.StoredName = name;  // enters the name index at the new position
    index = dir.AddItem(fresh);
    InitItem(index, full_name);
    dir.ItemPtr(index).EntryAction = poAdd;
  }

  // Sets StoredName and keeps the name index in step (also when the
  // overwrite handler changed the name).
  dir.RenameItem(index, name);
  TDirItem& item = dir.ItemPtr(index);
  const uint16_t name_flag = NameEncodingFlag(name, options.OEMFileNames);
  item.header.flags |= name_flag;
  item.header.version_made_by =
      VersionForName(item.header.version_made_by, name_flag);
  item.header.version_needed = item.header.version_made_by;
  item.header.name_length = static_cast<uint16_t>(name.size());
  item.header.external_attributes = attributes;
  // The flag covers the comment too: its bytes are written as they stand.
  item.Comment = name_flag != 0 ? platform::AnsiToUtf8(comment) : comment;
  item.header.comment_length = static_cast<uint16_t>(item.Comment.size());
  // (The overwrite prompt may have renamed the entry.)
  scan_.selected.emplace(SelectionKey(name, options.OEMFileNames), full_name);
  return index;
}

void FileSelector::InitItem(int32_t index, const std::string& full_name) {
  TDirItem& item = scan_.dir->ItemPtr(index);
  const bool is_folder = env_.DirectoryExists(full_name);
  const int32_t age = env_.FileAge(full_name);
  const uint32_t stamp =
      age == -1 ? env_.NowDosDateTime() : static_cast<uint32_t>(age);
  const int32_t attributes = env_.FileAttributes(full_name);

  CentralHeader& header = item.header;
  header = CentralHeader{};
  header.signature = kCentralHeaderSignature;
  header.version_made_by =
      settings_.options.OEMFileNames ? kVersionOem : kVersionAnsi;
  header.version_needed = header.version_made_by;
  if (!settings_.password.empty()) header.flags |= kFlagEncrypted;
  header.method = settings_.entry_method;
  header.mod_time = static_cast<uint16_t>(stamp & 0xFFFF);
  header.mod_date = static_cast<uint16_t>(stamp >> 16);
  header.crc32 = 0xFFFFFFFF;  // computed when the entry is written
  header.external_attributes =
      attributes < 0 ? 0 : static_cast<uint32_t>(attributes);

  item.Pending = true;
  item.EntryPassword = settings_.password;
  item.SourceFileName = full_name;
  item.EntryLevel = is_folder ? 0 : settings_.compression_mode;

  // A replaced entry gets its data from the file now: extra fields, 64-bit
  // values and a data stream that described the old entry no longer apply.
  item.ExtraBlocks.clear();
  item.HasZip64 = false;
  item.Zip64UncompressedSize = 0;
  item.Zip64CompressedSize = 0;
  item.Zip64LocalOffset = 0;
  item.Zip64DiskStart = 0;
  item.SourceStream.Reset();
  item.SourceOffset = 0;

  if (is_folder) {
    header.method = kMethodStored;
    header.crc32 = 0;
    header.flags = kFlagFolder;
  }
}

}  // namespace tessaly::engine
