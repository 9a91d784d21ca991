// Central directory file header (APPNOTE 4.3.12), 46 bytes, followed by the
// file name, the extra field and the file comment. The directory item
// (TDirItem) holds one as its header image.
//
//   offset size field
//    0     4    signature            0x02014B50 (alternate 0x03025C61)
//    4     2    version made by
//    6     2    version needed
//    8     2    flags
//   10     2    method
//   12     2    mod time             MS-DOS time
//   14     2    mod date             MS-DOS date
//   16     4    crc32
//   20     4    compressed size      0xFFFFFFFF: in the Zip64 extra field
//   24     4    uncompressed size    0xFFFFFFFF: in the Zip64 extra field
//   28     2    name length
//   30     2    extra length
//   32     2    comment length
//   34     2    disk number start    0xFFFF: in the Zip64 extra field
//   36     2    internal attributes
//   38     4    external attributes  Windows attributes; 0x10 = folder
//   42     4    local header offset  0xFFFFFFFF: in the Zip64 extra field
#ifndef TESSALY_ENGINE_FORMAT_CENTRAL_HEADER_H_
#define TESSALY_ENGINE_FORMAT_CENTRAL_HEADER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed header.
struct CentralHeader {
  static constexpr size_t kFixedSize = 46;

  uint32_t signature = 0;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t disk_number_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint32_t local_header_offset = 0;

  // Appends the 46 bytes; a fixed-span writer without room fails instead.
  void Encode(ByteWriter& writer) const;

  // Reads the first 46 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked: the caller compares it
  // with the signature set it accepts.
  static std::optional<CentralHeader> Decode(std::span<const uint8_t> data);

  friend bool operator==(const CentralHeader&, const CentralHeader&) = default;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_CENTRAL_HEADER_H_
