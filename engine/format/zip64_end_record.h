// Zip64 end of central directory record (APPNOTE 4.3.14), 56 bytes. The
// engine writes no extensible data sector, so its record size field is 44.
//
//   offset size field
//    0     4    signature            0x06064B50
//    4     8    record size          bytes after this field: 44
//   12     2    version made by      45 (0x002D)
//   14     2    version needed       45 (0x002D)
//   16     4    this disk
//   20     4    directory disk
//   24     8    entries this disk    total entries
//   32     8    total entries
//   40     8    directory size
//   48     8    directory offset
#ifndef TESSALY_ENGINE_FORMAT_ZIP64_END_RECORD_H_
#define TESSALY_ENGINE_FORMAT_ZIP64_END_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"
#include "engine/format/zip64.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed record.
struct Zip64EndRecord {
  static constexpr size_t kFixedSize = 56;
  // The record size field of a record without extensible data.
  static constexpr uint64_t kRecordSize = kFixedSize - 12;

  uint32_t signature = 0;
  uint64_t record_size = 0;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint32_t this_disk = 0;
  uint32_t directory_disk = 0;
  uint64_t entries_this_disk = 0;
  uint64_t total_entries = 0;
  uint64_t directory_size = 0;
  uint64_t directory_offset = 0;

  // Appends the 56 bytes; a fixed-span writer without room fails instead.
  void Encode(ByteWriter& writer) const;

  // Reads the first 56 bytes of `data` (an extensible data sector beyond
  // them is ignored); nullopt when it is shorter. The signature is taken as
  // found and not checked.
  static std::optional<Zip64EndRecord> Decode(std::span<const uint8_t> data);

  friend bool operator==(const Zip64EndRecord&,
                         const Zip64EndRecord&) = default;
};

// The record as written after a directory at `location`: signature, record
// size 44, both versions 45, both entry counts the total, the real values of
// disks, size and offset.
Zip64EndRecord MakeZip64EndRecord(const DirectoryLocation& location);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ZIP64_END_RECORD_H_
