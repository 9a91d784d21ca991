// Zip64 end of central directory locator (APPNOTE 4.3.15), 20 bytes, written
// between the Zip64 end record and the end record.
//
//   offset size field
//    0     4    signature            0x07064B50
//    4     4    zip64 end disk       volume holding the Zip64 end record
//    8     8    zip64 end offset     its position inside that volume
//   16     4    total disks          current volume number + 1
#ifndef TESSALY_ENGINE_FORMAT_ZIP64_LOCATOR_H_
#define TESSALY_ENGINE_FORMAT_ZIP64_LOCATOR_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/format/byte_codec.h"

namespace tessaly::engine {

// All fields are zero in a default-constructed locator.
struct Zip64Locator {
  static constexpr size_t kFixedSize = 20;

  uint32_t signature = 0;
  uint32_t zip64_end_disk = 0;
  uint64_t zip64_end_offset = 0;
  uint32_t total_disks = 0;

  // Appends the 20 bytes; a fixed-span writer without room fails instead.
  void Encode(ByteWriter& writer) const;

  // Reads the first 20 bytes of `data`; nullopt when it is shorter. The
  // signature is taken as found and not checked.
  static std::optional<Zip64Locator> Decode(std::span<const uint8_t> data);

  friend bool operator==(const Zip64Locator&, const Zip64Locator&) = default;
};

// The locator written on volume `this_disk` (negative counts as 0) for a
// Zip64 end record at `zip64_end_offset` in that volume.
Zip64Locator MakeZip64Locator(int64_t this_disk, uint64_t zip64_end_offset);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ZIP64_LOCATOR_H_
