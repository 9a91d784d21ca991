// TRegistry: reading registry values the way the desktop class library's
// registry object does (a root key, OpenKey, ReadString, CloseKey). On
// Windows the values come from the registry itself; elsewhere from a
// registry export file (app/registry/registry_file.h). The build picks the
// backend (app/registry/registry_store.h).
//
// Which export file: $TESSALY_REGISTRY when set; otherwise the first that
// exists of $XDG_CONFIG_HOME/tessaly/registry.reg (XDG_CONFIG_HOME
// defaulting to ~/.config) and /etc/tessaly/registry.reg. A missing file
// reads as an empty registry: every key is absent. Windows ignores the file
// name.
#ifndef TESSALY_APP_REGISTRY_REGISTRY_H_
#define TESSALY_APP_REGISTRY_REGISTRY_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/registry/registry_file.h"
#include "app/registry/registry_store.h"
#include "platform/env.h"

namespace tessaly::app {

// Root keys (HKEY, app/registry/registry_store.h) and access rights, with
// the values Windows gives them.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
inline constexpr uint32_t KEY_READ = 0x20019u;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003Fu;

// The name of a root key in export files ("HKEY_LOCAL_MACHINE"); "" for an
// unknown handle.
const char* RootKeyName(HKEY key);

// The registry file to read, given a way to read environment variables
// (returning std::nullopt for an unset one) and the Env to test for files.
// An empty variable counts as unset.
std::string RegistryFileName(
    const std::function<std::optional<std::string>(const char*)>& getenv,
    platform::Env& env);
// The same for this process's environment.
std::string DefaultRegistryFileName();

class TRegistry {
 public:
  // A registry on `file_name` (read when a key is first opened; ignored on
  // Windows) with the root key HKEY_CURRENT_USER, as the class library
  // starts. `env` must outlive the object.
  explicit TRegistry(uint32_t access = KEY_ALL_ACCESS,
                     std::string file_name = DefaultRegistryFileName(),
                     platform::Env& env = platform::Env::Default());
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  ~TRegistry();

  // Access rights asked for when a key is opened. A file-backed registry
  // grants every right. The Windows registry is asked for these rights
  // first and, when it refuses them, for reading only: this object never
  // writes, so a read-only account still reads the values.
  uint32_t Access;

  HKEY RootKey() const { return root_key_; }
  // Closes the open key, if any, and sets the root.
  void SetRootKey(HKEY key);

  // Opens `key`: a path beginning with '\' is taken from the root key,
  // any other from the open key (or the root when none is open). Returns
  // false when the key does not exist (or cannot be opened) and
  // `can_create` is false; with `can_create` a missing key is made, in
  // memory only (the registry is never written). Raises ERegistryException
  // when the registry file exists but is not a valid export.
  bool OpenKey(const std::string& key, bool can_create);

  // The string value `name` of the open key (of the root when none is
  // open); "" when there is no such value. Raises ERegistryException
  // "Invalid data type for '<name>' (<type> where a string is expected)"
  // when the value is not a string (types 1 and 2, REG_SZ and
  // REG_EXPAND_SZ).
  std::string ReadString(const std::string& name);

  // Whether the open key has the value `name`.
  bool ValueExists(const std::string& name);

  void CloseKey();

  // The open key's path below the root, without leading '\'; "" when none.
  const std::string& CurrentPath() const { return current_path_; }
  bool HasCurrentKey() const { return has_current_key_; }
  const std::string& FileName() const { return file_name_; }

 private:
  std::optional<RegistryValue> FindValue(const std::string& name);

  std::string file_name_;
  std::unique_ptr<RegistryStore> store_;
  HKEY root_key_ = HKEY_CURRENT_USER;
  std::string current_path_;
  bool has_current_key_ = false;
  bool current_key_created_ = false;  // made by OpenKey(..., true)
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_REGISTRY_REGISTRY_H_
