// Local file header (APPNOTE 4.3.7), 30 bytes, followed by the file name and
// the local extra field.
//
//   offset size field
//    0     4    signature            0x04034B50 (alternate 0x05045C61)
//    4     2    version needed       0x0014 / 0x0B14 / 0x002D
//    6     2    flags                general purpose bits
//    8     2    method               0 stored, 8 deflated
//   10     2    mod time             MS-DOS time
//   12     2    mod date             MS-DOS date
//   14     4    crc32
//   18     4    compressed size      0xFFFFFFFF: in the Zip64 extra field
//   22     4    uncompressed size    0xFFFFFFFF: in the Zip64 extra field
//   26     2    name length
//   28     2    extra length
#ifndef TESSALY_ENGINE_FORMAT_LOCAL_HEADER_H_
#define TESSALY_ENGINE_FORMAT_LOCAL_HEADER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed header.
struct LocalHeader {
  static constexpr size_t kFixedSize = 30;

  uint32_t signature = 0;
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

  // Appends the 30 bytes; a fixed-span writer without room fails instead.
  void Encode(ByteWriter& writer) const;

  // Reads the first 30 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked: the caller compares it
  // with the signature set it accepts.
  static std::optional<LocalHeader> Decode(std::span<const uint8_t> data);

  friend bool operator==(const LocalHeader&, const LocalHeader&) = default;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_LOCAL_HEADER_H_
