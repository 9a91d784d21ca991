// The Windows registry as TRegistry's store. Keys are opened afresh for
// every question and closed again; TRegistry keeps only the path.
//
// app/registry/registry.h names the root keys and access rights as constants
// that windows.h defines as macros, so it comes first and the Win32 roots
// are formed from the numbers with explicit casts.
#include <optional>
#include <string>
#include <vector>

#include "app/registry/registry.h"
#include "app/registry/registry_file.h"
#include "app/registry/registry_store.h"

#include "platform/windows/win32.h"

namespace tessaly::app {

namespace {

// The Win32 handle of a root key. Win32 sign-extends the 32-bit numbers
// (HKEY_LOCAL_MACHINE is (HKEY)(ULONG_PTR)(LONG)0x80000002).
::HKEY Win32Root(HKEY root) {
  return reinterpret_cast<::HKEY>(
      static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

// Reading access only: query values, enumerate and be notified of subkeys.
constexpr REGSAM kReadAccess = 0x20019;

class OpenedKey {
 public:
  OpenedKey() = default;
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }

  // Opens `path` below `root` for `access`; when the registry refuses those
  // rights, for reading, which is all a TRegistry does with a key.
  bool Open(HKEY root, const std::string& path, uint32_t access) {
    LONG rc = RegOpenKeyExA(Win32Root(root), path.c_str(), 0,
                            static_cast<REGSAM>(access), &key_);
    if (rc == ERROR_ACCESS_DENIED && access != kReadAccess) {
      rc = RegOpenKeyExA(Win32Root(root), path.c_str(), 0, kReadAccess, &key_);
    }
    if (rc != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
  }

  ::HKEY get() const { return key_; }

 private:
  ::HKEY key_ = nullptr;
};

class Win32RegistryStore final : public RegistryStore {
 public:
  bool KeyExists(HKEY root, const std::string& path, uint32_t access) override {
    OpenedKey key;
    return key.Open(root, path, access);
  }

  std::optional<RegistryValue> FindValue(HKEY root, const std::string& path,
                                         uint32_t access,
                                         const std::string& name) override {
    OpenedKey key;
    if (!key.Open(root, path, access)) return std::nullopt;
    DWORD type = REG_NONE;
    std::vector<BYTE> data(256);
    for (;;) {
      DWORD size = static_cast<DWORD>(data.size());
      const LONG rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                       data.data(), &size);
      if (rc == ERROR_MORE_DATA) {
        // The value may grow between two calls; ask again with its size.
        data.resize(static_cast<size_t>(size) + 1);
        continue;
      }
      if (rc != ERROR_SUCCESS) return std::nullopt;
      data.resize(size);
      break;
    }
    RegistryValue value;
    value.name = name;
    value.type = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      // The stored text may or may not carry its terminating NUL.
      const auto* text = reinterpret_cast<const char*>(data.data());
      size_t length = 0;
      while (length < data.size() && text[length] != '\0') ++length;
      value.text.assign(text, length);
    } else {
      value.data.assign(data.begin(), data.end());
    }
    return value;
  }
};

}  // namespace

std::unique_ptr<RegistryStore> NewRegistryStore(
    const std::string& /*file_name*/, platform::Env& /*env*/) {
  return std::make_unique<Win32RegistryStore>();
}

}  // namespace tessaly::app
