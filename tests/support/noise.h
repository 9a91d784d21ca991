// Test data that deflate cannot shrink.
#ifndef TESSALY_TESTS_SUPPORT_NOISE_H_
#define TESSALY_TESTS_SUPPORT_NOISE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaly::test {

// `n` bytes of a linear congruential sequence from `seed`: a file of n
// bytes takes n / 512 KiB blocks of the deflate adapter at level 1.
inline std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_NOISE_H_
