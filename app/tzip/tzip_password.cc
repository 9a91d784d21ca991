#include "app/tzip/tzip_password.h"

namespace tessaly::app {

std::optional<std::string> ResolveTzipPassword(const TzipOptions& options,
                                               const char* env_password,
                                               const SecretReader& ask,
                                               std::string& error) {
  if (!options.encrypt) return std::string();
  if (options.password) return *options.password;
  if (env_password != nullptr && *env_password != '\0') {
    return std::string(env_password);
  }
  const std::optional<std::string> first = ask("Enter password: ");
  if (!first) {
    error =
        "-e asks for the password on a terminal, and there is none: set "
        "TZIP_PASSWORD, or give -P PASSWORD";
    return std::nullopt;
  }
  if (first->empty()) {
    error = "the password is empty";
    return std::nullopt;
  }
  const std::optional<std::string> second = ask("Verify password: ");
  if (!second || *second != *first) {
    error = "the passwords do not match";
    return std::nullopt;
  }
  return first;
}

}  // namespace tessaly::app
