// What the directory store asks of the archiver that owns it: its settings.
// The archive stream and its volumes come from the volume sequence
// (engine/volumes/volume_sequence.h), which the store writes through.
#ifndef TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_
#define TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_

#include <string>

#include "engine/base/types.h"

namespace tessaly::platform {
class Env;
}  // namespace tessaly::platform

namespace tessaly::engine {

class Component;

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
  virtual const std::string& StubFileName() const = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_DIR_OWNER_H_
