// CRC-32 of ZIP, zlib and ISO-HDLC: reflected polynomial 0xEDB88320
// (APPNOTE 4.4.7; check value of "123456789" is 0xCBF43926).
//
// The routines work on the bare register: they neither preset it nor
// complement the result. An entry's CRC-32 is computed as
//   uint32_t reg = 0xFFFFFFFF;
//   reg = UpdateCrc(reg, data, n);   // as often as needed
//   uint32_t crc = ~reg;
#ifndef TESSALY_ENGINE_FORMAT_CRC32_H_
#define TESSALY_ENGINE_FORMAT_CRC32_H_

#include <array>
#include <cstdint>

namespace tessaly::engine {

namespace crc_internal {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

inline constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace crc_internal

// Feeds `length` bytes at `buffer` into the register and returns the new
// register. A null buffer or a length of 0 or less returns `crc_register`
// unchanged. Lengths beyond 4 GiB are fine. Thread-safe.
uint32_t UpdateCrc(uint32_t crc_register, const void* buffer, int64_t length);

// The standard 256-entry table (entry 1 is 0x77073096); static storage.
const uint32_t* CrcTable();

// One table step: the register after feeding byte `b`. Used by the cipher's
// key update.
inline uint32_t CrcStep(uint32_t reg, uint8_t b) {
  return crc_internal::kCrcTable[(reg ^ b) & 0xFF] ^ (reg >> 8);
}

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_CRC32_H_
