// Joining a multi-volume archive into one file: every entry's bytes (local
// header, data, data descriptor) are copied unchanged, in directory order,
// and a new central directory points at them, with offsets counted in the
// one file, every disk number 0, and Zip64 fields and end records only
// where a value does not fit its 16- or 32-bit field. Nothing is
// recompressed. Memory is bounded by one copy buffer and the directory.
#ifndef TESSALY_ENGINE_ENTRIES_ARCHIVE_JOIN_H_
#define TESSALY_ENGINE_ENTRIES_ARCHIVE_JOIN_H_

#include <string>

#include "engine/directory/dir_array.h"
#include "engine/volumes/volume_reader.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace tessaly::engine {

// An entry that cannot be copied: its local header or its bytes are not
// where the directory says.
class EJoinError : public platform::Exception {
 public:
  using platform::Exception::Exception;
  const char* ClassName() const noexcept override { return "EJoinError"; }
};

// Writes the entries of `dir`, read through `volumes`, with the archive
// comment `comment` (its bytes as stored) to `output` from its current
// position, which counts as offset 0 of the joined archive. Raises
// EJoinError for an entry that cannot be copied, EVolumeMissing for a
// volume that cannot be opened, platform::EWriteError when `output`
// refuses bytes.
void JoinArchive(VolumeReader& volumes, const TZADirArray& dir,
                 const std::string& comment, platform::Stream& output);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ARCHIVE_JOIN_H_
