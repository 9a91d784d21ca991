#include "app/tzip/extract_path.h"

#include <cctype>

namespace tessaly::app {

std::optional<std::vector<std::string>> SafeExtractParts(std::string_view name) {
  // A drive letter: "C:" at the start.
  if (name.size() >= 2 && name[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(name[0])) != 0) {
    name.remove_prefix(2);
  }
  std::vector<std::string> parts;
  std::string part;
  auto finish = [&]() -> bool {
    if (part == "..") return false;
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
    return true;
  };
  for (const char c : name) {
    if (c == '/' || c == '\\') {
      if (!finish()) return std::nullopt;
    } else if (c == '\0') {
      return std::nullopt;
    } else {
      part.push_back(c);
    }
  }
  if (!finish() || parts.empty()) return std::nullopt;
  return parts;
}

}  // namespace tessaly::app
