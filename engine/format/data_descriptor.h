// Data descriptor (APPNOTE 4.3.9), in its signed 16-byte form and its
// 24-byte Zip64 form. The engine never writes one; the recovery scan reads
// it after the data of an entry whose flag bit 3 is set.
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

// The signed data descriptor of an entry in the Zip64 form (APPNOTE 4.3.9.2),
// 24 bytes: the sizes take 8 bytes each.
//
//   offset size field
//    0     4    signature            0x08074B50
//    4     4    crc32
//    8     8    compressed size
//   16     8    uncompressed size
struct Zip64DataDescriptor {
  static constexpr size_t kFixedSize = 24;

  uint32_t signature = 0;
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;

  // Appends the 24 bytes (used by tests that build damaged archives).
  void Encode(ByteWriter& writer) const;

  // Reads the first 24 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked.
  static std::optional<Zip64DataDescriptor> Decode(
      std::span<const uint8_t> data);

  friend bool operator==(const Zip64DataDescriptor&,
                         const Zip64DataDescriptor&) = default;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_DATA_DESCRIPTOR_H_
