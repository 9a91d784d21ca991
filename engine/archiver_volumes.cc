// The archiver's volume names, from its settings, through
// engine/volumes/volume_naming.h.
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/archiver_core.h"
#include "engine/volumes/volume_naming.h"

namespace tessaly::engine {

VolumeNaming ArchiverCore::Naming() const {
  VolumeNaming naming;
  naming.mode = spanning_mode_;
  naming.advanced = SpanningOptions.AdvancedNaming;
  naming.self_extracting =
      (DirManager != nullptr && DirManager->PrefixSize != 0) ||
      !SFXStub.empty();
  // Method numbers from 252 up belong to the archiver's own format, whose
  // volumes carry other extensions.
  naming.own_format = EntryMethod >= 252;
  return naming;
}

std::string ArchiverCore::MakeVolumeName(const std::string& name, int32_t index,
                                         bool try_other) {
  return try_other ? FindVolumeFileName(env_, name, index, Naming())
                   : VolumeFileName(name, index, Naming());
}

std::string ArchiverCore::ExistingVolumeName(const std::string& name) {
  return engine::ExistingVolumeName(env_, name);
}

std::vector<std::string> ArchiverCore::ArchiveFileNames() {
  std::vector<std::string> names{FileName};
  for (std::string& volume :
       ExistingNumberedVolumes(env_, FileName, Naming())) {
    names.push_back(std::move(volume));
  }
  return names;
}

}  // namespace tessaly::engine
