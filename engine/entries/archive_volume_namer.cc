#include "engine/entries/archive_volume_namer.h"

#include <string>

namespace tessaly::engine {

VolumeReader::VolumeNamer ArchiveVolumeNamer(DirOwner& owner,
                                             int32_t last_volume) {
  return [&owner, last_volume](int32_t number) {
    if (owner.CurrentSpanningMode() == smNone) return owner.ArchiveFileName();
    return owner.VolumeName(owner.ArchiveFileName(),
                            number >= last_volume ? -1 : number,
                            /*try_other=*/true);
  };
}

}  // namespace tessaly::engine
