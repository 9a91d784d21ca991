// Data descriptor (APPNOTE 4.3.9), in its signed 16-byte form. The engine
// never writes one; the recovery scan reads it after the data of an entry
// whose flag bit 3 is set.
//
//   offset size field
//    0     4    signature            0x08074B50
//    4     4    crc32
//    8     4    compressed size
//   12     4    uncompressed size
#ifndef TESSALY_ENGINE_FORMAT_DATA_DESCRIPTOR_H_
#define TESSALY_ENGINE_FORMAT_DATA_DESCRIPTOR_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed descriptor.
struct DataDescriptor {
  static constexpr size_t kFixedSize = 16;

  uint32_t signature = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;

  // Appends the 16 bytes (used by tests that build damaged archives).
  void Encode(ByteWriter& writer) const;

  // Reads the first 16 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked.
  static std::optional<DataDescriptor> Decode(std::span<const uint8_t> data);

  friend bool operator==(const DataDescriptor&,
                         const DataDescriptor&) = default;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_DATA_DESCRIPTOR_H_
