#include "engine/volumes/volume_naming.h"

#include <algorithm>

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

// The name of a numbered volume (index >= 0) under one of the two schemes.
std::string NumberedVolumeName(const NameParts& parts, int32_t index,
                               bool advanced, bool sfx,
                               const VolumeNaming& naming) {
  const std::string number =
      ZeroPadded(static_cast<int64_t>(index) + 1, advanced ? 3 : 2);
  if (naming.mode == smSplitting) {
    if (index == 0 && sfx) return parts.folder + parts.base + ".exe";
    if (advanced) {
      return parts.folder + parts.base + "_" + number + parts.extension;
    }
    return parts.folder + parts.base + (naming.own_format ? ".F" : ".z") +
           number;
  }
  // Spanning: one volume per disk.
  const std::string extension = sfx ? std::string(".exe") : parts.extension;
  if (advanced) return parts.folder + parts.base + "_" + number + extension;
  return parts.folder + parts.base + extension;
}

}  // namespace

std::string VolumeFileName(const std::string& archive, int32_t index,
                           const VolumeNaming& naming) {
  if (naming.mode == smNone) return archive;
  const NameParts parts = SplitName(archive);
  const bool sfx = naming.self_extracting || HasExeExtension(archive);
  if (index >= 0) {
    return NumberedVolumeName(parts, index, naming.advanced, sfx, naming);
  }
  if (sfx && naming.mode == smSplitting) {
    const std::string final_name =
        parts.folder + parts.base + (naming.own_format ? ".ZA" : ".ZIP");
    // On a case-insensitive file system "a.ZIP" is the archive "a.zip"
    // itself; keep the archive's own spelling so it stays the same file.
    if (!SameFileNameAnyCase(final_name, archive)) return final_name;
  }
  return archive;
}

std::string FindVolumeFileName(platform::Env& env, const std::string& archive,
                               int32_t index, const VolumeNaming& naming) {
  const std::string name = VolumeFileName(archive, index, naming);
  if (naming.mode == smNone) return name;
  std::string existing = ExistingVolumeName(env, name);
  if (existing.empty() && index >= 0) {
    VolumeNaming other = naming;
    other.advanced = !naming.advanced;
    existing = ExistingVolumeName(env, VolumeFileName(archive, index, other));
  }
  return existing.empty() ? name : existing;
}

std::vector<std::string> FileNamesAnyCase(platform::Env& env,
                                          const std::string& name) {
  const std::string wanted =
      platform::AnsiUpperCase(platform::ExtractFileName(name));
  if (wanted.empty()) return {};
  const std::string folder = platform::ExtractFilePath(name);
  // Files of any kind; the filter leaves folders out. The pattern matches
  // without regard to letter case; the names are compared again because
  // the name itself may hold wildcard characters.
  constexpr uint32_t kFilesOfAnyKind =
      platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem |
      platform::kAttrArchive | platform::kAttrNormal;
  std::vector<std::string> names;
  for (const platform::FoundFile& found :
       env.FindFiles(name, kFilesOfAnyKind)) {
    if ((found.attributes & platform::kAttrDirectory) != 0) continue;
    if (platform::AnsiUpperCase(found.name) == wanted) {
      names.push_back(folder + found.name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ExistingVolumeName(platform::Env& env, const std::string& name) {
  if (env.FileExists(name)) return name;
  const std::vector<std::string> names = FileNamesAnyCase(env, name);
  return names.empty() ? std::string() : names.front();
}

std::vector<std::string> ExistingNumberedVolumes(platform::Env& env,
                                                 const std::string& archive,
                                                 const VolumeNaming& naming) {
  std::vector<std::string> volumes;
  // Spanned disks share one name; only split volumes are numbered files.
  if (naming.mode != smSplitting || archive.empty()) return volumes;
  for (int32_t i = 0;; ++i) {
    std::string volume =
        ExistingVolumeName(env, VolumeFileName(archive, i, naming));
    if (volume.empty()) break;
    volumes.push_back(std::move(volume));
  }
  return volumes;
}

bool HasExeExtension(const std::string& name) {
  return platform::AnsiLowerCase(platform::ExtractFileExt(name)).find(".exe") !=
         std::string::npos;
}

bool SameFileNameAnyCase(const std::string& a, const std::string& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace tessaly::engine
