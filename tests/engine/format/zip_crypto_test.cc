#include "engine/format/zip_crypto.h"

#include <array>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "platform/memory_stream.h"
#include "tests/engine/format/format_test_util.h"

namespace tessaly::engine {
namespace {

using platform::MemoryStream;
using testing::FromHex;
using testing::ToHex;

// An independent decrypter in the shape of Python's zipfile._ZipDecrypter:
// bitwise CRC steps, keys updated with the recovered plain byte.
class ReferenceDecrypter {
 public:
  explicit ReferenceDecrypter(std::string_view password) {
    for (char c : password) Update(static_cast<uint8_t>(c));
  }
  uint8_t Decrypt(uint8_t c) {
    const uint32_t t = (k2_ | 2) & 0xFFFF;
    const uint8_t p = c ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    Update(p);
    return p;
  }
  std::vector<uint8_t> Decrypt(std::span<const uint8_t> cipher) {
    std::vector<uint8_t> plain;
    for (uint8_t c : cipher) plain.push_back(Decrypt(c));
    return plain;
  }
  ZipKeys keys() const { return {k0_, k1_, k2_}; }

 private:
  static uint32_t Crc(uint32_t reg, uint8_t b) {
    reg ^= b;
    for (int k = 0; k < 8; ++k)
      reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320 : reg >> 1;
    return reg;
  }
  void Update(uint8_t p) {
    k0_ = Crc(k0_, p);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = Crc(k2_, static_cast<uint8_t>(k1_ >> 24));
  }
  uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

// A stream that takes `capacity` bytes and then refuses.
class ShortStream : public platform::Stream {
 public:
  explicit ShortStream(int64_t capacity) : capacity_(capacity) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    const int64_t n = std::min(count, capacity_ - position_);
    position_ += n;
    return n;
  }
  int64_t Seek(int64_t p) override { return position_ = p; }
  int64_t Position() const override { return position_; }
  int64_t Size() const override { return position_; }
  bool SetSize(int64_t) override { return true; }

 private:
  int64_t capacity_;
  int64_t position_ = 0;
};

TEST(ZipKeysTest, EmptyPasswordGivesInitialKeys) {
  EXPECT_EQ(InitKeys(""), (ZipKeys{0x12345678, 0x23456789, 0x34567890}));
}

// Expected keys and cipher bytes were computed with a separate Python
// implementation, and the cipher bytes decrypt to the plain text with
// Python's zipfile._ZipDecrypter(b"secret").
TEST(ZipKeysTest, KnownAnswerForPassword) {
  ZipKeys keys = InitKeys("secret");
  EXPECT_EQ(keys, (ZipKeys{0xDDA9E469, 0x96212999, 0xF9FC9651}));
  std::string text = "Hello, ZIP!";
  std::vector<uint8_t> data(text.begin(), text.end());
  EncryptBuffer(keys, data.data(), 0, data.size());
  EXPECT_EQ(ToHex(data), "8075F632204DE885658811");
}

TEST(ZipKeysTest, EncryptByteUsesStreamByteThenUpdatesWithPlain) {
  ZipKeys keys = InitKeys("pw");
  ZipKeys expected_after = keys;
  UpdateKeys(expected_after, 'A');
  const uint8_t stream = StreamByte(keys);
  EXPECT_EQ(EncryptByte(keys, 'A'), 'A' ^ stream);
  EXPECT_EQ(keys, expected_after);
}

TEST(ZipKeysTest, EncryptBufferTouchesOnlyItsRangeAndDecrypts) {
  std::vector<uint8_t> data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  const std::vector<uint8_t> original = data;
  ZipKeys keys = InitKeys("Pa55 w\xC3\xB6rd");
  EncryptBuffer(keys, data.data(), 10, 280);
  EXPECT_EQ(std::vector(data.begin(), data.begin() + 10),
            std::vector(original.begin(), original.begin() + 10));
  EXPECT_EQ(std::vector(data.begin() + 290, data.end()),
            std::vector(original.begin() + 290, original.end()));
  ReferenceDecrypter decrypter("Pa55 w\xC3\xB6rd");
  EXPECT_EQ(decrypter.Decrypt(std::span(data).subspan(10, 280)),
            std::vector(original.begin() + 10, original.begin() + 290));
  EXPECT_EQ(keys, decrypter.keys());
  EncryptBuffer(keys, nullptr, 0, 0);  // nothing to do
}

class EncryptionHeaderTest : public ::testing::Test {
 protected:
  // Writes a header for `source_size` bytes of `content` and returns the
  // 12 header bytes as decrypted by the reference decrypter.
  std::vector<uint8_t> WriteAndDecrypt(std::string_view content,
                                       int64_t source_size,
                                       int64_t block_size) {
    MemoryStream source(content);
    MemoryStream output;
    register_ = WriteEncryptionHeader(source, source_size, block_size, output,
                                      "pw", keys_, random_);
    EXPECT_EQ(source.Position(), 0) << "source is rewound";
    EXPECT_EQ(output.Size(), 12);
    ReferenceDecrypter decrypter("pw");
    std::vector<uint8_t> plain = decrypter.Decrypt(output.bytes());
    EXPECT_EQ(keys_, decrypter.keys()) << "keys continue after the header";
    return plain;
  }

  HeaderRandom random_ = HeaderRandom::WithFixedSeed(42);
  ZipKeys keys_;
  uint32_t register_ = 0;
};

TEST_F(EncryptionHeaderTest, CheckBytesAreHighBytesOfCrc) {
  const auto plain = WriteAndDecrypt("123456789", 9, 4);  // three blocks
  EXPECT_EQ(register_, ~0xCBF43926u);
  EXPECT_EQ(plain[10], 0xF4);
  EXPECT_EQ(plain[11], 0xCB);

  HeaderRandom same = HeaderRandom::WithFixedSeed(42);
  for (int i = 0; i < 10; ++i) {
    const uint32_t value = same.Next();
    EXPECT_EQ(plain[i], value & 0xFF) << "random byte " << i;
  }
}

TEST_F(EncryptionHeaderTest, CrcCoversSourceSizeOnly) {
  WriteAndDecrypt("abcdef", 3, 0);  // default block size
  EXPECT_EQ(~register_, 0x352441C2u);
}

TEST_F(EncryptionHeaderTest, ShortReadEndsCrcPass) {
  const auto plain = WriteAndDecrypt("abc", 1000, 2);
  EXPECT_EQ(~register_, 0x352441C2u);
  EXPECT_EQ(plain[11], 0x35);
  EXPECT_EQ(plain[10], 0x24);
}

TEST_F(EncryptionHeaderTest, EmptySourceHasZeroCrc) {
  const auto plain = WriteAndDecrypt("", 0, 4);
  EXPECT_EQ(register_, 0xFFFFFFFFu);
  EXPECT_EQ(plain[10], 0);
  EXPECT_EQ(plain[11], 0);
}

TEST_F(EncryptionHeaderTest, RefusedByteRaisesWriteError) {
  MemoryStream source(std::string_view("data"));
  ShortStream output(5);
  try {
    WriteEncryptionHeader(source, 4, 4, output, "pw", keys_, random_);
    FAIL() << "no exception";
  } catch (const platform::EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  EXPECT_EQ(output.Position(), 5);
}

TEST(HeaderRandomTest, EntriesWithinOneClockTickDiffer) {
  HeaderRandom random([] { return uint64_t{1000}; });  // a stopped clock
  std::set<std::string> headers;
  for (int entry = 0; entry < 4; ++entry) {
    MemoryStream source(std::string_view("same data"));
    MemoryStream output;
    ZipKeys keys;
    WriteEncryptionHeader(source, 9, 64, output, "pw", keys, random);
    headers.insert(ToHex(output.bytes()));
  }
  EXPECT_EQ(headers.size(), 4u);
}

TEST(HeaderRandomTest, ValuesStayBelow2To31Minus1) {
  HeaderRandom random;
  for (int i = 0; i < 10000; ++i) ASSERT_LE(random.Next(), 0x7FFFFFFEu);
}

}  // namespace
}  // namespace tessaly::engine
