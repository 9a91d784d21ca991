#include "engine/format/byte_codec.h"

#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/format/format_test_util.h"

namespace tessaly::engine {
namespace {

using testing::FromHex;
using testing::ToHex;

TEST(ByteReaderTest, ReadsLittleEndianInOrder) {
  const auto data = FromHex("0102 03040506 0708090A0B0C0D0E FF");
  ByteReader reader(data);
  uint16_t a;
  uint32_t b;
  uint64_t c;
  ASSERT_TRUE(reader.GetU16(&a));
  ASSERT_TRUE(reader.GetU32(&b));
  ASSERT_TRUE(reader.GetU64(&c));
  EXPECT_EQ(a, 0x0201);
  EXPECT_EQ(b, 0x06050403u);
  EXPECT_EQ(c, 0x0E0D0C0B0A090807u);
  EXPECT_EQ(reader.position(), 14u);
  EXPECT_EQ(reader.remaining(), 1u);
  std::array<uint8_t, 1> last;
  EXPECT_TRUE(reader.GetBytes(last));
  EXPECT_EQ(last[0], 0xFF);
  EXPECT_TRUE(reader.ok());
}

TEST(ByteReaderTest, ReadPastEndFailsAndStaysFailed) {
  // The reader sees the first 3 bytes only; the rest must stay unread.
  const auto buffer = FromHex("AABBCC DDEEFF11");
  ByteReader reader{std::span(buffer).first(3)};
  uint32_t v = 123;
  EXPECT_FALSE(reader.GetU32(&v));
  EXPECT_EQ(v, 0u);
  EXPECT_FALSE(reader.ok());
  uint16_t w = 5;
  EXPECT_FALSE(reader.GetU16(&w)) << "two bytes remain, but failure sticks";
  EXPECT_EQ(w, 0);
  EXPECT_EQ(reader.remaining(), 0u);
}

TEST(ByteReaderTest, BytesAndSkipAreBoundsChecked) {
  const auto data = FromHex("01020304");
  ByteReader reader(data);
  EXPECT_TRUE(reader.Skip(0));
  EXPECT_TRUE(reader.Skip(3));
  std::array<uint8_t, 2> out{9, 9};
  EXPECT_FALSE(reader.GetBytes(out));
  EXPECT_EQ(out[0], 9) << "a refused GetBytes leaves the output alone";

  ByteReader skipper(data);
  EXPECT_FALSE(skipper.Skip(5));
  ByteReader empty({});
  EXPECT_TRUE(empty.GetBytes({}));
  uint16_t v;
  EXPECT_FALSE(empty.GetU16(&v));
}

TEST(ByteWriterTest, AppendsAfterExistingContent) {
  std::vector<uint8_t> out{0x99};
  ByteWriter writer(&out);
  writer.PutU16(0x0201);
  writer.PutU32(0x06050403);
  writer.PutU64(0x0E0D0C0B0A090807);
  writer.PutBytes(FromHex("ABCD"));
  EXPECT_TRUE(writer.ok());
  EXPECT_EQ(writer.written(), 16u);
  EXPECT_EQ(ToHex(out), "990102030405060708090A0B0C0D0EABCD");
}

TEST(ByteWriterTest, FixedSpanRefusesWhatDoesNotFit) {
  std::array<uint8_t, 8> buffer;
  buffer.fill(0xEE);
  ByteWriter writer{std::span(buffer).first(5)};
  writer.PutU32(0x04030201);
  EXPECT_TRUE(writer.ok());
  writer.PutU16(0xBBAA);  // one byte of room left
  EXPECT_FALSE(writer.ok());
  writer.PutBytes(FromHex("CC"));  // would fit, but failure sticks
  EXPECT_EQ(writer.written(), 4u);
  EXPECT_EQ(ToHex(buffer), "01020304EEEEEEEE");
}

TEST(FixedCodingTest, KnownBytes) {
  std::array<uint8_t, 8> b{};
  EncodeFixed16(b.data(), 0xBEEF);
  EXPECT_EQ(ToHex(std::span(b).first(2)), "EFBE");
  EncodeFixed32(b.data(), 0x06054B50);
  EXPECT_EQ(ToHex(std::span(b).first(4)), "504B0506");
  EncodeFixed64(b.data(), 0x8877665544332211);
  EXPECT_EQ(ToHex(b), "1122334455667788");
  EXPECT_EQ(DecodeFixed64(b.data()), 0x8877665544332211u);
  EXPECT_EQ(DecodeFixed32(b.data() + 4), 0x88776655u);
  EXPECT_EQ(DecodeFixed16(b.data() + 6), 0x8877);
}

}  // namespace
}  // namespace tessaly::engine
