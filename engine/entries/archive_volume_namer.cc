#include "engine/entries/archive_volume_namer.h"

namespace tessaly::engine {

VolumeReader::VolumeNamer ArchiveVolumeNamer(platform::Env& env,
                                             const std::string& archive,
                                             const VolumeNaming& naming,
                                             int32_t last_volume) {
  return [&env, archive, naming, last_volume](int32_t number) {
    if (naming.mode == smNone) return archive;
    return FindVolumeFileName(env, archive, number >= last_volume ? -1 : number,
                              naming);
  };
}

}  // namespace tessaly::engine
