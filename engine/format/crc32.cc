// zlib's crc32() presets and complements internally: it computes
// ~F(~crc, data), where F is the bare table walk. Passing ~reg in and
// complementing the result out therefore gives F(reg, data), the bare
// register update the engine works with. zlib takes a uInt length, so long
// buffers are fed in chunks of 1 GiB.
#include "engine/format/crc32.h"

#include <algorithm>

#include <zlib.h>

namespace tessaly::engine {

namespace {

constexpr int64_t kChunk = int64_t{1} << 30;

}  // namespace

uint32_t UpdateCrc(uint32_t crc_register, const void* buffer, int64_t length) {
  if (buffer == nullptr || length <= 0) return crc_register;
  const auto* p = static_cast<const Bytef*>(buffer);
  uLong crc = ~crc_register & 0xFFFFFFFFu;
  while (length > 0) {
    const int64_t n = std::min(length, kChunk);
    crc = crc32(crc, p, static_cast<uInt>(n));
    p += n;
    length -= n;
  }
  return ~static_cast<uint32_t>(crc);
}

const uint32_t* CrcTable() { return crc_internal::kCrcTable.data(); }

}  // namespace tessaly::engine
