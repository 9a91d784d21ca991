#include "engine/archiver_core.h"

namespace tessaly::engine {

ArchiverCore::ArchiverCore(platform::Env& env)
    : env_(env),
      volumes_(env, this, *this,
               VolumeSettings{FileName, spanning_mode_, OpenMode,
                              SpanningOptions}),
      pipeline_(env, this, volumes_,
                EntryWriterSettings{Options, Zip64Mode, ZipFormat,
                                    spanning_mode_, compression_mode_,
                                    TempDir, EntryMethod},
                *this, place_) {}

ArchiverCore::~ArchiverCore() = default;

}  // namespace tessaly::engine
