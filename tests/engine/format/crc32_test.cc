#include "engine/format/crc32.h"

#include <random>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace tessaly::engine {
namespace {

uint32_t Crc32Of(std::string_view text) {
  return ~UpdateCrc(0xFFFFFFFF, text.data(), static_cast<int64_t>(text.size()));
}

// Bit-at-a-time reference, independent of any table.
uint32_t BitwiseUpdate(uint32_t reg, const std::vector<uint8_t>& data) {
  for (uint8_t b : data) {
    reg ^= b;
    for (int k = 0; k < 8; ++k)
      reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320 : reg >> 1;
  }
  return reg;
}

TEST(Crc32Test, PublishedCheckValues) {
  EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);  // CRC-32/ISO-HDLC check
  EXPECT_EQ(Crc32Of("abc"), 0x352441C2u);
  EXPECT_EQ(Crc32Of(""), 0u);
}

TEST(Crc32Test, TableIsTheReflectedPolynomialTable) {
  const uint32_t* table = CrcTable();
  EXPECT_EQ(table[0], 0u);
  EXPECT_EQ(table[1], 0x77073096u);
  EXPECT_EQ(table[128], 0xEDB88320u);
  EXPECT_EQ(table[255], 0x2D02EF8Du);
}

TEST(Crc32Test, MissingBufferOrNonPositiveLengthLeavesRegister) {
  const char byte = 'x';
  EXPECT_EQ(UpdateCrc(0x12345678, nullptr, 10), 0x12345678u);
  EXPECT_EQ(UpdateCrc(0x12345678, &byte, 0), 0x12345678u);
  EXPECT_EQ(UpdateCrc(0x12345678, &byte, -1), 0x12345678u);
}

TEST(Crc32Test, MatchesBitwiseReferenceFromAnyRegister) {
  std::mt19937 rng(20240517);
  for (size_t length : {1u, 3u, 7u, 8u, 31u, 64u, 1000u, 65537u}) {
    std::vector<uint8_t> data(length);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    for (uint32_t reg : {0xFFFFFFFFu, 0u, 0x89ABCDEFu}) {
      EXPECT_EQ(UpdateCrc(reg, data.data(), static_cast<int64_t>(length)),
                BitwiseUpdate(reg, data))
          << "length " << length << ", register " << reg;
    }
  }
}

TEST(Crc32Test, ChunkedFeedingEqualsOneShot) {
  std::vector<uint8_t> data(10007);
  std::mt19937 rng(7);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const uint32_t whole =
      UpdateCrc(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
  for (size_t chunk : {1u, 2u, 13u, 4096u}) {
    uint32_t reg = 0xFFFFFFFF;
    for (size_t at = 0; at < data.size(); at += chunk) {
      const size_t n = std::min(chunk, data.size() - at);
      reg = UpdateCrc(reg, data.data() + at, static_cast<int64_t>(n));
    }
    EXPECT_EQ(reg, whole) << "chunk " << chunk;
  }
  uint32_t stepped = 0xFFFFFFFF;
  for (uint8_t b : data) stepped = CrcStep(stepped, b);
  EXPECT_EQ(stepped, whole) << "CrcStep";
}

}  // namespace
}  // namespace tessaly::engine
