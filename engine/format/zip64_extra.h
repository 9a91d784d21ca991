// Extra field blocks (APPNOTE 4.5.1) and the Zip64 extended information
// extra field (APPNOTE 4.5.3, header ID 0x0001) in its two forms.
//
// Every extra block starts with a 4-byte header:
//   offset size field
//    0     2    header id
//    2     2    data size            bytes of data after this header
//
// Local form, written after the name of an entry whose local header holds
// 0xFFFFFFFF in its uncompressed size field; always 20 bytes:
//    0     2    header id            0x0001
//    2     2    data size            16
//    4     8    uncompressed size
//   12     8    compressed size
//
// Central form: after the header, in this order, only the values whose
// central header field holds its marker:
//          8    uncompressed size    when uncompressed size = 0xFFFFFFFF
//          8    compressed size      when compressed size = 0xFFFFFFFF
//          8    local header offset  when local header offset = 0xFFFFFFFF
//          4    disk number start    when disk number start = 0xFFFF
#ifndef TESSALY_ENGINE_FORMAT_ZIP64_EXTRA_H_
#define TESSALY_ENGINE_FORMAT_ZIP64_EXTRA_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"
#include "engine/format/central_header.h"

namespace tessaly::engine {

// The 4-byte header of any extra block.
struct ExtraBlockHeader {
  static constexpr size_t kFixedSize = 4;

  uint16_t id = 0;
  uint16_t data_size = 0;

  void Encode(ByteWriter& writer) const;
  // Reads the first 4 bytes of `data`; nullopt when it is shorter.
  static std::optional<ExtraBlockHeader> Decode(std::span<const uint8_t> data);

  friend bool operator==(const ExtraBlockHeader&,
                         const ExtraBlockHeader&) = default;
};

// The local Zip64 extra field.
struct LocalZip64Extra {
  static constexpr size_t kFixedSize = 20;
  static constexpr uint16_t kDataSize = 16;

  uint64_t uncompressed_size = 0;
  uint64_t compressed_size = 0;

  // Appends ID 0x0001, data size 16 and both sizes.
  void Encode(ByteWriter& writer) const;

  // Reads a block that starts at data[0]. nullopt when `data` holds fewer
  // than 20 bytes, the header ID is not 0x0001 or its data size is below 16.
  static std::optional<LocalZip64Extra> Decode(std::span<const uint8_t> data);

  friend bool operator==(const LocalZip64Extra&,
                         const LocalZip64Extra&) = default;
};

// The 64-bit values of a directory item that a central Zip64 extra field
// carries.
struct Zip64Values {
  uint64_t uncompressed_size = 0;
  uint64_t compressed_size = 0;
  uint64_t local_header_offset = 0;
  uint32_t disk_number_start = 0;

  friend bool operator==(const Zip64Values&, const Zip64Values&) = default;
};

// Size of the central Zip64 extra block `header` needs, its 4-byte block
// header included: 0 when no field holds its marker, else 4 + 8 per 64-bit
// field holding 0xFFFFFFFF + 4 when disk_number_start holds 0xFFFF
// (at most 32).
size_t CentralZip64ExtraSize(const CentralHeader& header);

// Appends the central Zip64 extra block for `header`: ID 0x0001, data size
// CentralZip64ExtraSize(header) - 4, then exactly the values whose fields
// hold their markers, in the order uncompressed size, compressed size,
// local header offset, disk number start. Appends nothing when no field
// holds its marker.
void EncodeCentralZip64Extra(const CentralHeader& header,
                             const Zip64Values& values, ByteWriter& writer);

// Takes the values out of the data of a central 0x0001 block (`data` starts
// after the 4-byte block header). For each field of `header` that holds its
// marker, in the order above, the value is read at a running position
// starting at 0 and stored in `*values`. A value that the data no longer
// holds in full is not read, and neither is any value after it, since its
// position is then unknown; fields not read keep what `*values` held.
// Never reads outside `data`. Returns true when every flagged value was
// present.
bool ParseCentralZip64Extra(std::span<const uint8_t> data,
                            const CentralHeader& header, Zip64Values* values);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ZIP64_EXTRA_H_
