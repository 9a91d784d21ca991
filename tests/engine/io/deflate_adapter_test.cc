#include "engine/io/deflate_adapter.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/io/compression_error.h"
#include "platform/memory_stream.h"

namespace tessaly::engine {
namespace {

// Half repetitive text, half noise, so deflate has work of both kinds.
std::string SampleData(int64_t n) {
  std::string s(static_cast<size_t>(n), '\0');
  uint32_t x = 12345;
  for (int64_t i = 0; i < n; ++i) {
    x = x * 1103515245 + 12345;
    s[i] = (i / 4096) % 2 ? static_cast<char>(x >> 24) : "tessaly "[i % 8];
  }
  return s;
}

// Raw inflate (RFC 1951, no zlib header); fails the test when the data is
// not exactly one complete deflate stream.
std::string InflateRaw(const std::string& in) {
  z_stream zs{};
  EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
  std::string out;
  std::vector<char> buf(1 << 16);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  int result = Z_OK;
  while (result == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buf.data());
    zs.avail_out = static_cast<uInt>(buf.size());
    result = inflate(&zs, Z_NO_FLUSH);
    out.append(buf.data(), buf.size() - zs.avail_out);
  }
  EXPECT_EQ(result, Z_STREAM_END) << "incomplete or damaged deflate data";
  EXPECT_EQ(zs.avail_in, 0u) << "bytes left behind the deflate stream";
  inflateEnd(&zs);
  return out;
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), s.size()));
}

// Traditional PKWARE decryption (APPNOTE 6.1), written independently of
// the engine's cipher.
std::string Decrypt(const std::string& in, const std::string& password) {
  uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
  const auto crc_byte = [](uint32_t c, uint8_t b) {
    c ^= b;
    for (int i = 0; i < 8; ++i) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    return c;
  };
  const auto update = [&](uint8_t p) {
    k0 = crc_byte(k0, p);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = crc_byte(k2, static_cast<uint8_t>(k1 >> 24));
  };
  for (char c : password) update(static_cast<uint8_t>(c));
  std::string out;
  for (char c : in) {
    const uint32_t t = k2 | 2;
    const uint8_t p = static_cast<uint8_t>(c) ^ ((t * (t ^ 1)) >> 8);
    update(p);
    out.push_back(static_cast<char>(p));
  }
  return out;
}

// Records the bytes done at every block; cancels from block `cancel_at` on.
class RecordingProgress : public CompressProgress {
 public:
  explicit RecordingProgress(int cancel_at = -1) : cancel_at_(cancel_at) {}
  void BeforeBlock(int64_t done, int64_t) override { done_.push_back(done); }
  bool Cancelled() const override {
    return cancel_at_ >= 0 && static_cast<int>(done_.size()) > cancel_at_;
  }
  std::vector<int64_t> done_;

 private:
  int cancel_at_;
};

// Keeps every write as one chunk; refuses bytes beyond `budget`.
class ChunkStream : public platform::Stream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::min(count, budget - size_);
    chunks.emplace_back(static_cast<const char*>(buffer), n);
    size_ += n;
    return n;
  }
  int64_t Seek(int64_t) override { return -1; }
  int64_t Position() const override { return size_; }
  int64_t Size() const override { return size_; }
  bool SetSize(int64_t) override { return false; }
  std::string All() const {
    std::string s;
    for (const auto& c : chunks) s += c;
    return s;
  }
  std::vector<std::string> chunks;
  int64_t budget = INT64_MAX;

 private:
  int64_t size_ = 0;
};

struct Result {
  CompressCounters counters;
  ChunkStream out;
};

void Compress(const std::string& data, uint8_t level, Result& r,
              CompressProgress&& progress = RecordingProgress(),
              const std::string& password = "", int64_t size = -1) {
  platform::MemoryStream source(data);
  CompressEntry(source, size < 0 ? data.size() : size, r.out, level,
                level == 0 ? 0 : 8, password, r.counters, progress);
}

struct SizeCase {
  uint8_t level;
  int blocks;     // whole blocks of the level's size
  int64_t extra;  // plus this many bytes
};

class DeflateRoundTripTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(DeflateRoundTripTest, InflatesToTheSourceOneChunkPerBlock) {
  const SizeCase c = GetParam();
  const int64_t block = DeflateBlockSize(c.level);
  const std::string data = SampleData(block * c.blocks + c.extra);
  Result r;
  RecordingProgress progress;
  Compress(data, c.level, r, std::move(progress));

  const size_t blocks = (data.size() + block - 1) / block;
  ASSERT_EQ(r.out.chunks.size(), blocks);
  ASSERT_EQ(progress.done_.size(), blocks);
  for (size_t i = 0; i < blocks; ++i) {
    EXPECT_EQ(progress.done_[i], block * static_cast<int64_t>(i));
  }
  EXPECT_EQ(r.counters.bytes_processed, static_cast<int64_t>(data.size()));
  EXPECT_EQ(r.counters.compressed_size, r.out.Size());
  EXPECT_EQ(~r.counters.crc, Crc(data));
  if (c.level == 0) {
    EXPECT_TRUE(r.out.All() == data);
    return;
  }
  for (size_t i = 0; i + 1 < blocks; ++i) {
    EXPECT_EQ(r.out.chunks[i].substr(r.out.chunks[i].size() - 4),
              std::string("\0\0\xff\xff", 4))
        << "chunk " << i << " ends with the sync-flush marker";
  }
  if (!data.empty()) {
    EXPECT_TRUE(InflateRaw(r.out.All()) == data);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DeflateRoundTripTest,
    ::testing::Values(SizeCase{6, 0, 0}, SizeCase{6, 0, 1}, SizeCase{6, 1, 0},
                      SizeCase{6, 1, 1}, SizeCase{6, 2, 0}, SizeCase{1, 3, 777},
                      SizeCase{9, 2, 5}, SizeCase{0, 2, 3}, SizeCase{0, 0, 1}));

// Every early stop returns quietly, counting only the blocks written, also
// when zlib is left in the middle of its stream.
TEST(DeflateAdapterTest, CancelShortWriteAndShortReadStopAtABlock) {
  const int64_t block = DeflateBlockSize(6);
  const std::string data = SampleData(block * 3);
  Result cancelled, encrypted, one, short_write, short_read;
  Compress(data, 6, cancelled, RecordingProgress(0));
  EXPECT_EQ(cancelled.out.Size(), 0);
  Compress(data, 6, encrypted, RecordingProgress(0), "secret");
  EXPECT_EQ(encrypted.out.Size(), 12) << "the encryption header only";
  EXPECT_EQ(encrypted.counters.compressed_size, 12);
  Compress(data, 6, one, RecordingProgress(1));
  EXPECT_EQ(one.counters.bytes_processed, block);

  short_write.out.budget = one.out.Size() + 10;  // fails in the 2nd chunk
  Compress(data, 6, short_write);
  EXPECT_EQ(short_write.counters.bytes_processed, block);
  EXPECT_EQ(short_write.counters.compressed_size, one.out.Size());

  Compress(data, 6, short_read, RecordingProgress(), "", block * 3 + 1);
  EXPECT_EQ(short_read.counters.bytes_processed, block * 3);
}

TEST(DeflateAdapterTest, EncryptedEntryDecryptsAndInflates) {
  for (uint8_t level : {uint8_t{0}, uint8_t{6}}) {
    const std::string data = SampleData(DeflateBlockSize(level) + 999);
    Result r;
    Compress(data, level, r, RecordingProgress(), "pass");
    EXPECT_EQ(r.counters.compressed_size, r.out.Size());
    const std::string plain = Decrypt(r.out.All(), "pass");
    const uint32_t crc = Crc(data);
    EXPECT_EQ(~r.counters.crc, crc);
    EXPECT_EQ(plain.substr(10, 2),
              std::string({char(crc >> 16), char(crc >> 24)}))
        << "check bytes";
    const std::string body = plain.substr(12);
    EXPECT_TRUE((level == 0 ? body : InflateRaw(body)) == data) << int(level);
  }
}

TEST(DeflateAdapterTest, ZlibFailureRaisesCompressionError) {
  Result r;
  try {
    Compress("abc", 10, r);
    FAIL() << "level 10 accepted";
  } catch (const EZlibError& e) {
    EXPECT_STREQ(e.ClassName(), "ECompressionError");
    EXPECT_EQ(e.Message(), "error");
  }
  EXPECT_EQ(CheckCompressionResult(Z_STREAM_END), Z_STREAM_END);
  EXPECT_THROW(CheckCompressionResult(Z_BUF_ERROR), ECompressionError);
}

}  // namespace
}  // namespace tessaly::engine
