#include "platform/open_stream.h"

#include "platform/exception.h"

namespace tessaly::platform {

std::unique_ptr<File> OpenStream(Env& env, const std::string& path,
                                 uint16_t mode) {
  std::unique_ptr<File> file = env.OpenFile(path, mode);
  if (file != nullptr) return file;
  if (mode == kOpenCreate) {
    throw EFCreateError("Cannot create file \"" + path + "\"");
  }
  throw EFOpenError("Cannot open file \"" + path + "\"");
}

}  // namespace tessaly::platform
