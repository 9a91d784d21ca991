// Opening a file as a stream where a failure is an exception: the engine's
// side of Env::OpenFile, which only returns results.
#ifndef TESSALY_PLATFORM_OPEN_STREAM_H_
#define TESSALY_PLATFORM_OPEN_STREAM_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace tessaly::platform {

// Opens `path` through `env` with a 16-bit open mode (platform/env.h). Throws
// EFCreateError ("Cannot create file \"<path>\"") when mode is kOpenCreate
// and the file cannot be created, EFOpenError ("Cannot open file
// \"<path>\"") when any other mode fails. Never returns null. The file must
// not outlive `env`.
std::unique_ptr<File> OpenStream(Env& env, const std::string& path,
                                 uint16_t mode);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_OPEN_STREAM_H_
