#include "engine/io/archiver_core.h"

namespace tessaly::engine {

ArchiverCore::ArchiverCore(platform::Env& env)
    : env_(env),
      volumes_(env, this, *this,
               VolumeSettings{FileName, spanning_mode_, OpenMode,
                              SpanningOptions}) {}

ArchiverCore::~ArchiverCore() = default;

}  // namespace tessaly::engine
