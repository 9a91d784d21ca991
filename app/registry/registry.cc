#include "app/registry/registry.h"

#include <cstdlib>
#include <utility>

namespace tessaly::app {

const char* RootKeyName(HKEY key) {
  switch (key) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
      return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
      return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG:
      return "HKEY_CURRENT_CONFIG";
    default:
      return "";
  }
}

std::string RegistryFileName(
    const std::function<std::optional<std::string>(const char*)>& getenv,
    platform::Env& env) {
  auto variable = [&](const char* name) -> std::string {
    std::optional<std::string> value = getenv(name);
    return value ? *value : std::string();
  };
  const std::string explicit_name = variable("TESSALY_REGISTRY");
  if (!explicit_name.empty()) return explicit_name;

  std::string config_home = variable("XDG_CONFIG_HOME");
  if (config_home.empty()) {
    const std::string home = variable("HOME");
    if (!home.empty()) config_home = home + "/.config";
  }
  if (!config_home.empty()) {
    const std::string user_file = config_home + "/tessaly/registry.reg";
    if (env.FileExists(user_file)) return user_file;
  }
  return "/etc/tessaly/registry.reg";
}

std::string DefaultRegistryFileName() {
  return RegistryFileName(
      [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
      },
      platform::Env::Default());
}

TRegistry::TRegistry(uint32_t access, std::string file_name, platform::Env& env)
    : Access(access),
      file_name_(std::move(file_name)),
      store_(NewRegistryStore(file_name_, env)) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY key) {
  CloseKey();
  root_key_ = key;
}

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  std::string path;
  if (!key.empty() && key.front() == '\\') {
    path = key.substr(1);
  } else if (has_current_key_ && !current_path_.empty()) {
    path = current_path_ + (key.empty() ? "" : "\\" + key);
  } else {
    path = key;
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();

  const bool exists = store_->KeyExists(root_key_, path, Access);
  if (!exists && !can_create) return false;
  CloseKey();
  current_path_ = path;
  has_current_key_ = true;
  current_key_created_ = !exists;
  return true;
}

std::optional<RegistryValue> TRegistry::FindValue(const std::string& name) {
  if (current_key_created_) return std::nullopt;
  return store_->FindValue(root_key_, has_current_key_ ? current_path_ : "",
                           Access, name);
}

std::string TRegistry::ReadString(const std::string& name) {
  const std::optional<RegistryValue> value = FindValue(name);
  if (!value) return "";
  if (value->type != kRegString && value->type != kRegExpandString) {
    throw ERegistryException("Invalid data type for '" + name + "' (" +
                             RegistryTypeName(value->type) +
                             " where a string is expected)");
  }
  return value->text;
}

bool TRegistry::ValueExists(const std::string& name) {
  return FindValue(name).has_value();
}

void TRegistry::CloseKey() {
  current_path_.clear();
  has_current_key_ = false;
  current_key_created_ = false;
}

}  // namespace tessaly::app
