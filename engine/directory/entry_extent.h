// Where the bytes of an entry end in a one-volume archive: its local header,
// name, local extra field, data and data descriptor (APPNOTE 4.3.6). The
// directory reader uses it to find where new entries may be written without
// touching a byte that a listed entry needs, and the recovery scan to step
// over an entry it has taken. Internal to engine/directory.
#ifndef TESSALY_ENGINE_DIRECTORY_ENTRY_EXTENT_H_
#define TESSALY_ENGINE_DIRECTORY_ENTRY_EXTENT_H_

#include <cstdint>

#include "engine/directory/dir_item.h"
#include "platform/stream.h"

namespace tessaly::engine {

// Whether `signature` opens a local header of either signature set.
bool IsLocalSignature(uint32_t signature);

// The length of the data descriptor at `position` (APPNOTE 4.3.9): 16 bytes
// with its signature, 12 without; 24 and 20 when the entry's sizes take
// 8 bytes each (`zip64`). Moves the stream position.
int64_t DataDescriptorLength(platform::Stream& stream, int64_t position,
                             bool zip64);

// The position just after the last byte of `item`'s entry, taking the name
// and extra lengths from its local header and the compressed size and flags
// from the item; at most UINT64_MAX. 0 when no local header of either set
// stands whole at the item's offset (the entry then has no bytes a reader
// could use). Moves the stream position.
uint64_t EntryEnd(platform::Stream& stream, const TDirItem& item);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_ENTRY_EXTENT_H_
