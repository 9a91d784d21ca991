#include "engine/io/archiver_core.h"

#include <utility>

namespace tessaly::engine {

std::recursive_mutex& ScanLock() {
  static std::recursive_mutex lock;
  return lock;
}

ArchiverCore::ArchiverCore(platform::Env& env) : env_(env), undo_(env) {}

ArchiverCore::~ArchiverCore() = default;

void ArchiverCore::ReplaceArchiveStream(std::unique_ptr<platform::Stream> stream,
                                        const std::string& volume_name) {
  archive_stream_ = std::move(stream);
  CurrentVolumeName = volume_name;
}

void ArchiverCore::ReleaseArchiveStream() { archive_stream_.reset(); }

}  // namespace tessaly::engine
