// Helpers shared by the two halves of the apply step: entry_pipeline.cc
// (the step itself, backup and rollback) and entry_writer.cc (writing and
// carrying over single entries). Not part of the engine's interface.
#ifndef TESSALY_ENGINE_IO_ENTRY_PIPELINE_INTERNAL_H_
#define TESSALY_ENGINE_IO_ENTRY_PIPELINE_INTERNAL_H_

#include <cstdint>
#include <string>

#include "engine/directory/dir_array.h"
#include "engine/directory/dir_item.h"
#include "engine/base/types.h"
#include "platform/stream.h"

namespace tessaly::engine::pipeline {

// Whether a pending item of this operation only changes directory values
// (its data is carried over instead of written again).
inline bool ChangesDirectoryOnly(TZAProcessOperation operation) {
  return operation == poRename || operation == poChangeAttr ||
         operation == poChangeComment;
}

// The index in `saved` of the entry that `item` continues, or -1.
//
// Searched from index 0. An entry of the same name (letter case ignored)
// whose local header lies where `item` says its header lies is taken first,
// so that duplicate names in a foreign archive each find their own data; then
// the first entry of the same name; for a pending rename, the entry at the
// same place whatever its name.
// (Not const: the name index of `saved` is consulted.)
int32_t FindOldItem(TZADirArray& saved, const TDirItem& item);

// Records where an item's local header lies: in the 32-bit field, or as
// 0xFFFFFFFF there with the position in Zip64LocalOffset (and the Zip64 mark
// set) when the position is 0xFFFFFFFF or beyond or `mode` is zmAlways.
void SetLocalOffset(TDirItem& item, int64_t position, TZip64Mode mode);

// Records the volume holding an item's local header; 0xFFFF and the number
// in Zip64DiskStart from volume 65,535 on. A negative number counts as 0.
void SetDiskStart(TDirItem& item, int32_t volume);

// Whether the local header of an entry with `source_size` bytes of data gets
// 0xFFFFFFFF as its sizes and the 20-byte Zip64 extra field. Always for
// sources of 0xFFFFFFFF bytes or more and with zmAlways; with zmAuto also
// when the compressed data (method, encryption header) could reach
// 0xFFFFFFFF bytes; never otherwise.
bool NeedsLocalZip64(int64_t source_size, uint16_t method, bool encrypted,
                     TZip64Mode mode);

// Sets the stream's position to `position` and cuts it there. Raises
// platform::EWriteError when it cannot.
void CutAt(platform::Stream& stream, int64_t position);

// The number of characters of UTF-8 text (a sequence counts once).
int64_t CharacterCount(const std::string& text);

}  // namespace tessaly::engine::pipeline

#endif  // TESSALY_ENGINE_IO_ENTRY_PIPELINE_INTERNAL_H_
