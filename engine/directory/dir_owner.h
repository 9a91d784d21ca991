// What the directory store asks of the archiver that owns it: settings, the
// archive stream and the volume sequence. The archiver implements it.
#ifndef TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_
#define TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/base/types.h"

namespace tessaly::platform {
class Env;
class MemoryStream;
class Stream;
}  // namespace tessaly::platform

namespace tessaly::engine {

class Component;
class TZAVolumeNumberInfo;

class DirOwner {
 public:
  virtual ~DirOwner() = default;

  // The component named in error messages.
  virtual const Component* OwnerComponent() const = 0;
  virtual platform::Env& OwnerEnv() = 0;

  // Standard signatures (true) or the alternate set.
  virtual bool IsZipFormat() const = 0;
  virtual bool UsesOemFileNames() const = 0;
  virtual bool ShouldRebuildDirectory() const = 0;
  virtual TZASpanningMode CurrentSpanningMode() const = 0;
  virtual const std::string& ArchiveFileName() const = 0;
  virtual const std::string& StubFileName() const = 0;

  // The stream of the current volume (or the whole archive); may be null.
  virtual platform::Stream* ArchiveStream() = 0;
  // Replaces the archive stream (the old one is freed) and records the file
  // it is open on as the current volume name.
  virtual void ReplaceArchiveStream(std::unique_ptr<platform::Stream> stream,
                                    const std::string& volume_name) = 0;
  // Closes and frees the archive stream.
  virtual void ReleaseArchiveStream() = 0;
  virtual const std::string& CurrentVolumeFileName() const = 0;
  virtual TZAVolumeNumberInfo& CurrentVolumeInfo() = 0;

  // Size limit of a volume: -1 when none.
  virtual int64_t VolumeLimitFor(const TZAVolumeNumberInfo& info) const = 0;
  // The file name of volume `index` (-1: the final name).
  virtual std::string VolumeName(const std::string& name, int32_t index,
                                 bool try_other) = 0;
  // Renames the volume file `from` to `to` (as Env::RenameFile does; false
  // when it failed). An owner that can undo its update records it.
  virtual bool RenameVolume(const std::string& from, const std::string& to);
  // Makes `info` the current volume, asking the host for it as needed.
  // Raises EZAException 45 when the request is declined.
  virtual void OpenVolume(TZAVolumeNumberInfo& info) = 0;
  // Writes `count` bytes into the volume sequence, moving to the next
  // volume when needed; `keep_together` >= 0 keeps that many more bytes in
  // the same volume. Raises EZAException 46 on a short write.
  virtual int64_t WriteToVolumesChecked(const void* buffer, int64_t count,
                                        int64_t keep_together,
                                        TZAVolumeNumberInfo& info,
                                        platform::Stream*& stream,
                                        platform::MemoryStream* staging) = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_
