// The volume names of an open archive, for reading it across its volumes.
#ifndef TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_
#define TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_

#include <cstdint>
#include <string>

#include "engine/volumes/volume_naming.h"
#include "engine/volumes/volume_reader.h"

namespace tessaly::platform {
class Env;
}  // namespace tessaly::platform

namespace tessaly::engine {

// The naming of the archive `archive` written with `naming`: volume `number`
// by that naming, the last one (`last_volume`) under the archive's own name.
// A volume found only under the other scheme's name, or under a name
// differing in letter case, counts.
// REQUIRES: `env` outlives the namer.
VolumeReader::VolumeNamer ArchiveVolumeNamer(platform::Env& env,
                                             const std::string& archive,
                                             const VolumeNaming& naming,
                                             int32_t last_volume);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_
