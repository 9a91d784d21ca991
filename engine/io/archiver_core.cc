#include "engine/io/archiver_core.h"

namespace tessaly::engine {

std::recursive_mutex& ScanLock() {
  static std::recursive_mutex lock;
  return lock;
}

ArchiverCore::ArchiverCore(platform::Env& env)
    : env_(env),
      volumes_(env, this, *this,
               VolumeSettings{FileName, spanning_mode_, OpenMode,
                              SpanningOptions}) {}

ArchiverCore::~ArchiverCore() = default;

}  // namespace tessaly::engine
