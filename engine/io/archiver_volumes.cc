// The archiver's volume names (from its settings, through
// engine/volumes/volume_naming.h) and the drive helpers around them.
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/io/archiver_core.h"
#include "engine/volumes/volume_naming.h"
#include "platform/path.h"
#include "platform/text.h"

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
