// The volume names of an open archive, for reading it across its volumes.
#ifndef TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_
#define TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_

#include <cstdint>

#include "engine/directory/dir_owner.h"
#include "engine/volumes/volume_reader.h"

namespace tessaly::engine {

// The naming of the archive open in `owner`: volume `number` by the
// archive's volume naming, the last one under the archive's own name. A
// volume found only under a name differing in letter case counts.
// REQUIRES: `owner` outlives the namer.
VolumeReader::VolumeNamer ArchiveVolumeNamer(DirOwner& owner,
                                             int32_t last_volume);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ARCHIVE_VOLUME_NAMER_H_
