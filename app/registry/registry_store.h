// Where TRegistry's keys and values come from. The build picks one backend:
// the Windows registry itself (app/registry/windows/win32_registry_store.cc)
// or, on systems without a registry, a registry export file
// (app/registry/posix/posix_registry_store.cc, reading
// app/registry/registry_file.h). TRegistry keeps the root key, the open key
// and the path rules; a store only answers "does this key exist" and "what
// is this value".
//
// Thread rules: one thread at a time.
#ifndef TESSALY_APP_REGISTRY_REGISTRY_STORE_H_
#define TESSALY_APP_REGISTRY_REGISTRY_STORE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/registry/registry_file.h"
#include "platform/env.h"

namespace tessaly::app {

// A root key handle, with the values Windows gives them (HKEY_LOCAL_MACHINE
// is 0x80000002).
using HKEY = uint32_t;

class RegistryStore {
 public:
  RegistryStore() = default;
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;
  virtual ~RegistryStore() = default;

  // Whether the key `path` below `root` exists and can be opened for
  // `access`. `path` has no leading or trailing '\'; "" is the root itself.
  // An unknown root does not exist. Raises ERegistryException when the
  // store itself cannot be read (an export file that is not an export).
  virtual bool KeyExists(HKEY root, const std::string& path,
                         uint32_t access) = 0;

  // The value `name` ("" for the key's unnamed value) of that key, with
  // its type; string types carry their text without the terminating NUL.
  // std::nullopt when the key or the value does not exist. Raises as
  // KeyExists does.
  virtual std::optional<RegistryValue> FindValue(HKEY root,
                                                 const std::string& path,
                                                 uint32_t access,
                                                 const std::string& name) = 0;
};

// The store of this platform. On Windows it reads the registry and ignores
// `file_name`; elsewhere it reads the export file `file_name` through `env`
// when first asked (a missing file reads as an empty registry). `env` must
// outlive the store.
std::unique_ptr<RegistryStore> NewRegistryStore(const std::string& file_name,
                                                platform::Env& env);

}  // namespace tessaly::app

#endif  // TESSALY_APP_REGISTRY_REGISTRY_STORE_H_
