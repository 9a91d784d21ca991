// Names of the volume files of a multi-volume archive, and the drive
// helpers around them.
//
// Two naming schemes exist. The plain one gives split volumes the extension
// ".z01", ".z02", ... (the naming of split archives in APPNOTE section 8;
// written with a lower-case "z" because readers on case-sensitive file
// systems look only for that spelling) and gives every spanned disk the
// archive's own name. The advanced one appends "_001", "_002", ... to the
// base name and keeps the extension. The last volume of a split archive
// takes the archive's name ("final name", index -1).
//
// Where an existing volume is looked up, a file whose name differs only in
// letter case counts as that volume, so archives written on a
// case-insensitive file system (for example with ".Z01") still open here.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/io/archiver_core.h"
#include "platform/path.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

// `number` in decimal with at least `digits` digits; never cut.
std::string ZeroPadded(int64_t number, size_t digits) {
  std::string text = std::to_string(number);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

struct NameParts {
  std::string folder;     // with its trailing delimiter, or ""
  std::string base;       // the file name without its extension
  std::string extension;  // with its dot, or ""
};

NameParts SplitName(const std::string& name) {
  NameParts parts;
  parts.folder = platform::ExtractFilePath(name);
  const std::string file = platform::ExtractFileName(name);
  parts.extension = platform::ExtractFileExt(name);
  parts.base = file.substr(0, file.size() - parts.extension.size());
  return parts;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace

std::string ArchiverCore::MakeVolumeName(const std::string& name, int32_t index,
                                         bool try_other) {
  if (spanning_mode_ == smNone) return name;

  const NameParts parts = SplitName(name);
  const bool sfx = (DirManager != nullptr && DirManager->PrefixSize != 0) ||
                   !SFXStub.empty() || HasExeExtension(name);
  // Method numbers from 252 up belong to the archiver's own format, whose
  // volumes carry other extensions.
  const bool own_format = EntryMethod >= 252;

  std::string result;
  if (index < 0) {
    result = name;
    if (sfx && spanning_mode_ == smSplitting) {
      const std::string final_name =
          parts.folder + parts.base + (own_format ? ".ZA" : ".ZIP");
      // On a case-insensitive file system "a.ZIP" is the archive "a.zip"
      // itself; keep the archive's own spelling so it stays the same file.
      if (!SameIgnoringCase(final_name, name)) result = final_name;
    }
    if (!try_other) return result;
    const std::string existing = ExistingVolumeName(result);
    return existing.empty() ? result : existing;
  }

  const auto scheme_name = [&](bool advanced) {
    const std::string number =
        ZeroPadded(static_cast<int64_t>(index) + 1, advanced ? 3 : 2);
    if (spanning_mode_ == smSplitting) {
      if (index == 0 && sfx) return parts.folder + parts.base + ".exe";
      if (advanced) {
        return parts.folder + parts.base + "_" + number + parts.extension;
      }
      return parts.folder + parts.base + (own_format ? ".F" : ".z") + number;
    }
    // Spanning: one volume per disk.
    const std::string extension = sfx ? std::string(".exe") : parts.extension;
    if (advanced) return parts.folder + parts.base + "_" + number + extension;
    return parts.folder + parts.base + extension;
  };

  const bool advanced = SpanningOptions.AdvancedNaming;
  result = scheme_name(advanced);
  if (!try_other) return result;
  std::string existing = ExistingVolumeName(result);
  if (existing.empty()) existing = ExistingVolumeName(scheme_name(!advanced));
  return existing.empty() ? result : existing;
}

std::string ArchiverCore::ExistingVolumeName(const std::string& name) {
  if (env_.FileExists(name)) return name;
  const std::string wanted =
      platform::AnsiUpperCase(platform::ExtractFileName(name));
  if (wanted.empty()) return "";
  const std::string folder = platform::ExtractFilePath(name);
  constexpr uint32_t kFilesOfAnyKind =
      platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem |
      platform::kAttrArchive | platform::kAttrNormal;
  std::string best;
  for (const platform::FoundFile& found :
       env_.FindFiles(folder + "*", kFilesOfAnyKind)) {
    if ((found.attributes & platform::kAttrDirectory) != 0) continue;
    if (platform::AnsiUpperCase(found.name) != wanted) continue;
    if (best.empty() || found.name < best) best = found.name;
  }
  return best.empty() ? std::string() : folder + best;
}

std::vector<std::string> ArchiverCore::ArchiveFileNames() {
  std::vector<std::string> names{FileName};
  if (spanning_mode_ == smSplitting && !FileName.empty()) {
    for (int32_t i = 0;; ++i) {
      std::string volume = ExistingVolumeName(MakeVolumeName(FileName, i, false));
      if (volume.empty()) break;
      names.push_back(std::move(volume));
    }
  }
  return names;
}

bool ArchiverCore::HasExeExtension(const std::string& name) {
  return platform::AnsiLowerCase(platform::ExtractFileExt(name)).find(".exe") !=
         std::string::npos;
}

bool ArchiverCore::IsFloppyDrive(const std::string& name) const {
  const std::string drive =
      platform::AnsiUpperCase(platform::ExtractFileDrive(name));
  return drive == "A:" || drive == "B:";
}

int64_t ArchiverCore::DiskFreeSpace(const std::string& name) {
  std::string folder = platform::ExtractFilePath(name);
  if (folder.empty()) folder = env_.CurrentDirectory();
  return env_.FreeSpace(folder);
}

}  // namespace tessaly::engine
