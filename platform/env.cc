#include "platform/env.h"

#include "platform/path.h"

namespace tessaly::platform {

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNone:
      return "no error";
    case ErrorKind::kNotFound:
      return "not found";
    case ErrorKind::kAccessDenied:
      return "access denied";
    case ErrorKind::kDiskFull:
      return "disk full";
    case ErrorKind::kIsDirectory:
      return "is a directory";
    case ErrorKind::kIOError:
      return "I/O error";
  }
  return "unknown error";
}

bool Env::FileExists(const std::string& path) {
  const int32_t attributes = FileAttributes(path);
  return attributes != -1 && (attributes & kAttrDirectory) == 0;
}

bool Env::DirectoryExists(const std::string& path) {
  const int32_t attributes = FileAttributes(path);
  return attributes != -1 && (attributes & kAttrDirectory) != 0;
}

std::string Env::FolderId(const std::string& path) {
  return DirectoryExists(path) ? FileId(path) : std::string();
}

std::string Env::NearestExistingFolder(const std::string& path) {
  std::string probe = path.empty() ? CurrentDirectory() : path;
  while (!probe.empty() && !DirectoryExists(probe)) {
    std::string parent = ExtractFileDir(ExcludeTrailingPathDelimiter(probe));
    if (parent.empty()) parent = CurrentDirectory();
    if (parent == probe) return std::string();
    probe = std::move(parent);
  }
  return probe;
}

}  // namespace tessaly::platform
