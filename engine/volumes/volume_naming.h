// Names of the volume files of a multi-volume archive, and their lookup on
// disk.
//
// Two naming schemes exist. The plain one gives split volumes the extension
// ".z01", ".z02", ... (written with a lower-case "z" because readers on
// case-sensitive file systems look only for that spelling) and gives every
// spanned disk the archive's own name. The advanced one appends "_001",
// "_002", ... to the base name and keeps the extension. The last volume of a
// split archive takes the archive's name (index -1, the "final name").
//
// Where an existing volume is looked up, a file whose name differs only in
// letter case counts as that volume, so archives written on a
// case-insensitive file system (for example with ".Z01") still open here.
//
// Pure functions of their arguments, except those taking an Env, which only
// look at the file system (never change it).
#ifndef TESSALY_ENGINE_VOLUMES_VOLUME_NAMING_H_
#define TESSALY_ENGINE_VOLUMES_VOLUME_NAMING_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/types.h"
#include "platform/env.h"

namespace tessaly::engine {

// How the volumes of one archive are named.
struct VolumeNaming {
  TZASpanningMode mode = smNone;
  // "_001", "_002", ... instead of ".z01", ... (or, spanning, the archive's
  // own name on every disk).
  bool advanced = false;
  // A self-extractor stub stands before the first volume (an archive named
  // "*.exe" counts as one without saying so): the first split volume is the
  // ".exe", spanned disks are ".exe" files and the last split volume ".ZIP".
  bool self_extracting = false;
  // The archiver's own format (method numbers from 252 up): ".F01", ...
  // and a last volume ".ZA" instead of ".z01", ... and ".ZIP".
  bool own_format = false;
};

// The name of volume `index` (0 for the first, -1 for the last) of the
// archive `archive` under `naming`, without looking at the disk. Numbers
// have at least two digits (three in the advanced scheme) and are never
// cut: index 99 is ".z100". Without a spanning mode every volume is
// `archive` itself.
std::string VolumeFileName(const std::string& archive, int32_t index,
                           const VolumeNaming& naming);

// Volume `index` of `archive` as it exists on disk: VolumeFileName under
// its spelling on disk (ExistingVolumeName); when that volume does not
// exist, the volume of the other scheme (advanced or plain) that does. When
// neither exists, VolumeFileName itself.
std::string FindVolumeFileName(platform::Env& env, const std::string& archive,
                               int32_t index, const VolumeNaming& naming);

// The files of `name`'s folder whose names equal `name`'s but for letter
// case (folders are left out), sorted by their bytes, each with the folder
// of `name`. Empty when `name` ends in a delimiter or none exists.
std::vector<std::string> FileNamesAnyCase(platform::Env& env,
                                          const std::string& name);

// The name under which the file `name` exists: `name` itself, or else the
// first of FileNamesAnyCase; "" when there is none.
std::string ExistingVolumeName(platform::Env& env, const std::string& name);

// The numbered volumes of the split archive `archive` that exist, in order
// from the first, as spelt on disk, up to the first one missing; the last
// volume (the archive's own name) is not among them.
std::vector<std::string> ExistingNumberedVolumes(platform::Env& env,
                                                 const std::string& archive,
                                                 const VolumeNaming& naming);

// Whether `a` and `b` name the same file on a file system that ignores
// letter case (ANSI upper case compared).
bool SameFileNameAnyCase(const std::string& a, const std::string& b);

// Whether the extension of `name` contains ".exe", in any letter case.
bool HasExeExtension(const std::string& name);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_VOLUMES_VOLUME_NAMING_H_
