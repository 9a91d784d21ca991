// End of central directory record (APPNOTE 4.3.16), 22 bytes, followed by
// the archive comment.
//
//   offset size field
//    0     4    signature            0x06054B50 (alternate 0x06054141)
//    4     2    this disk            0xFFFF when 65,535 or more
//    6     2    directory disk       0xFFFF when 65,535 or more
//    8     2    entries this disk    total entries; 0xFFFF when 65,535 or more
//   10     2    total entries        0xFFFF when 65,535 or more
//   12     4    directory size       0xFFFFFFFF when 0xFFFFFFFF or more
//   16     4    directory offset     0xFFFFFFFF when 0xFFFFFFFF or more
//   20     2    comment length
#ifndef TESSALY_ENGINE_FORMAT_END_RECORD_H_
#define TESSALY_ENGINE_FORMAT_END_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"
#include "engine/format/zip64.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed record.
struct EndRecord {
  static constexpr size_t kFixedSize = 22;

  uint32_t signature = 0;
  uint16_t this_disk = 0;
  uint16_t directory_disk = 0;
  uint16_t entries_this_disk = 0;
  uint16_t total_entries = 0;
  uint32_t directory_size = 0;
  uint32_t directory_offset = 0;
  uint16_t comment_length = 0;

  // Appends the 22 bytes; a fixed-span writer without room fails instead.
  void Encode(ByteWriter& writer) const;

  // Reads the first 22 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked.
  static std::optional<EndRecord> Decode(std::span<const uint8_t> data);

  friend bool operator==(const EndRecord&, const EndRecord&) = default;
};

// The end record as written after a directory at `location`: both entry
// fields hold the total count (not the count on the last volume), every
// field that cannot hold its value holds its marker.
EndRecord MakeEndRecord(uint32_t signature, const DirectoryLocation& location,
                        uint16_t comment_length);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_END_RECORD_H_
