// The registry of a system without one: the values of a registry export
// file, read once when the first key is looked up.
#include <optional>
#include <string>
#include <utility>

#include "app/registry/registry.h"
#include "app/registry/registry_file.h"
#include "app/registry/registry_store.h"

namespace tessaly::app {

namespace {

class ExportFileStore final : public RegistryStore {
 public:
  ExportFileStore(std::string file_name, platform::Env& env)
      : file_name_(std::move(file_name)), env_(env) {}

  bool KeyExists(HKEY root, const std::string& path,
                 uint32_t /*access*/) override {
    // A file-backed registry grants every access right.
    const RegistryFile* file = File();
    return file != nullptr && *RootKeyName(root) != '\0' &&
           file->KeyExists(FullPath(root, path));
  }

  std::optional<RegistryValue> FindValue(HKEY root, const std::string& path,
                                         uint32_t /*access*/,
                                         const std::string& name) override {
    const RegistryFile* file = File();
    if (file == nullptr || *RootKeyName(root) == '\0') return std::nullopt;
    const RegistryValue* value = file->FindValue(FullPath(root, path), name);
    if (value == nullptr) return std::nullopt;
    return *value;
  }

 private:
  static std::string FullPath(HKEY root, const std::string& path) {
    std::string full = RootKeyName(root);
    if (!path.empty()) full += "\\" + path;
    return full;
  }

  const RegistryFile* File() {
    if (!loaded_) {
      // Marked first: a file that fails to parse raises once and then reads
      // as empty, as a key that cannot be opened would.
      loaded_ = true;
      file_ = RegistryFile::Load(env_, file_name_);
    }
    return file_ ? &*file_ : nullptr;
  }

  const std::string file_name_;
  platform::Env& env_;
  bool loaded_ = false;
  std::optional<RegistryFile> file_;
};

}  // namespace

std::unique_ptr<RegistryStore> NewRegistryStore(const std::string& file_name,
                                                platform::Env& env) {
  return std::make_unique<ExportFileStore>(file_name, env);
}

}  // namespace tessaly::app
