// The Zip64 rules shared by the records: when a field holds its marker
// instead of its value, and when the Zip64 end records are written
// (APPNOTE 4.4.1.4, 4.3.14, 4.3.15).
#ifndef TESSALY_ENGINE_FORMAT_ZIP64_H_
#define TESSALY_ENGINE_FORMAT_ZIP64_H_

#include <cstdint>

#include "engine/format/signatures.h"

namespace tessaly::engine {

// The value for a 16-bit field: itself below 0xFFFF, else the marker 0xFFFF.
constexpr uint16_t To16OrMarker(uint64_t value) {
  return value >= kZip64Marker16 ? kZip64Marker16
                                 : static_cast<uint16_t>(value);
}

// The value for a 32-bit field: itself below 0xFFFFFFFF, else the marker.
constexpr uint32_t To32OrMarker(uint64_t value) {
  return value >= kZip64Marker32 ? kZip64Marker32
                                 : static_cast<uint32_t>(value);
}

// The effective value of a 32-bit field: `zip64_value` when the field holds
// the marker, else the field itself.
constexpr uint64_t ValueOrZip64(uint32_t field, uint64_t zip64_value) {
  return field == kZip64Marker32 ? zip64_value : field;
}

// The effective value of a 16-bit disk field.
constexpr uint32_t ValueOrZip64(uint16_t field, uint32_t zip64_value) {
  return field == kZip64Marker16 ? zip64_value : field;
}

// Whether the Zip64 end record and locator go in front of the end record:
// when the entry count is 65,535 or more, or the write position after the
// last central header is 0xFFFFFFFF or more. The Zip64 mode setting plays no
// part here.
constexpr bool NeedsZip64EndRecords(uint64_t entry_count,
                                    uint64_t position_after_directory) {
  return entry_count >= kZip64Marker16 ||
         position_after_directory >= kZip64Marker32;
}

// Where a written central directory lies; the input of the end records.
struct DirectoryLocation {
  // Volume holding the end records. A negative number counts as volume 0.
  int64_t this_disk = 0;
  // Volume holding the first central header. Negative counts as 0.
  int64_t directory_disk = 0;
  uint64_t entry_count = 0;
  // Bytes of all central headers with their names, extras and comments.
  uint64_t directory_size = 0;
  // Position of the first central header inside its volume.
  uint64_t directory_offset = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ZIP64_H_
