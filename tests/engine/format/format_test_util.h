// Test-side byte helpers: hex fixtures and a little-endian reader of its own,
// so that record tests do not check the codec with itself.
#ifndef TESSALY_TESTS_ENGINE_FORMAT_FORMAT_TEST_UTIL_H_
#define TESSALY_TESTS_ENGINE_FORMAT_FORMAT_TEST_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::engine::testing {

// "504B0304" -> {0x50, 0x4B, 0x03, 0x04}; spaces are ignored.
inline std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  int pending = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else {
      continue;
    }
    if (pending < 0) {
      pending = v;
    } else {
      out.push_back(static_cast<uint8_t>(pending * 16 + v));
      pending = -1;
    }
  }
  return out;
}

inline std::string ToHex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Little-endian unsigned value of `size` bytes at `offset`.
inline uint64_t LeAt(std::span<const uint8_t> bytes, size_t offset,
                     size_t size) {
  uint64_t v = 0;
  for (size_t i = size; i-- > 0;) v = (v << 8) | bytes[offset + i];
  return v;
}

// One field of a record layout, as the APPNOTE tables give it.
struct FieldSpec {
  const char* name;
  size_t offset;
  size_t size;
  uint64_t expected;
};

}  // namespace tessaly::engine::testing

#endif  // TESSALY_TESTS_ENGINE_FORMAT_FORMAT_TEST_UTIL_H_
