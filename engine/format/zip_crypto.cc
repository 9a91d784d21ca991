// The cipher itself is inline in the header; this file holds the key set-up,
// the buffer loop and the encryption header.
//
// The CRC pass reads the source once before compression, so a reader can
// check the password against the header's last two bytes; the data is then
// read a second time for compression. The ten random bytes only have to
// differ between entries (equal prefixes under one password would give
// equal key streams for the data), not to be secret, so a clock-seeded
// generator suffices, provided the seed changes even within one clock tick.
#include "engine/format/zip_crypto.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <utility>
#include <vector>

namespace tessaly::engine {

namespace {

constexpr int64_t kDefaultBlockSize = 64 * 1024;
constexpr uint32_t kRandomRange = 0x7FFFFFFF;  // values 0 .. 2^31 - 2

std::atomic<uint64_t> reseed_counter{0};

// SplitMix64 finaliser: spreads nearby clock readings and counter values
// over the whole seed.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t SystemClock() {
  return static_cast<uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
}

void SeedEngine(std::mt19937& engine, uint64_t seed) {
  std::seed_seq seq{static_cast<uint32_t>(seed),
                    static_cast<uint32_t>(seed >> 32)};
  engine.seed(seq);
}

}  // namespace

ZipKeys InitKeys(std::string_view password) {
  ZipKeys keys{0x12345678, 0x23456789, 0x34567890};
  for (char c : password) UpdateKeys(keys, static_cast<uint8_t>(c));
  return keys;
}

void EncryptBuffer(ZipKeys& keys, uint8_t* buffer, size_t offset,
                   size_t length) {
  if (length == 0) return;
  uint8_t* p = buffer + offset;
  for (size_t i = 0; i < length; ++i) p[i] = EncryptByte(keys, p[i]);
}

HeaderRandom::HeaderRandom() : HeaderRandom(SystemClock) {}

HeaderRandom::HeaderRandom(std::function<uint64_t()> clock)
    : clock_(std::move(clock)) {
  Reseed();
}

HeaderRandom HeaderRandom::WithFixedSeed(uint64_t seed) {
  HeaderRandom random([] { return uint64_t{0}; });
  random.fixed_seed_ = seed;
  random.Reseed();
  return random;
}

void HeaderRandom::Reseed() {
  if (fixed_seed_) {
    SeedEngine(engine_, *fixed_seed_);
    return;
  }
  const uint64_t count = reseed_counter.fetch_add(1, std::memory_order_relaxed);
  SeedEngine(engine_, Mix(clock_() ^ Mix(count)));
}

uint32_t HeaderRandom::Next() {
  return static_cast<uint32_t>(engine_() % kRandomRange);
}

uint32_t WriteEncryptionHeader(platform::Stream& source, int64_t source_size,
                               int64_t block_size, platform::Stream& output,
                               std::string_view password, ZipKeys& keys,
                               HeaderRandom& random) {
  if (block_size <= 0) block_size = kDefaultBlockSize;
  uint32_t crc_register = 0xFFFFFFFF;
  if (source_size > 0) {
    std::vector<uint8_t> block(
        static_cast<size_t>(std::min(block_size, source_size)));
    int64_t done = 0;
    while (done < source_size) {
      const int64_t want =
          std::min(static_cast<int64_t>(block.size()), source_size - done);
      const int64_t got = source.Read(block.data(), want);
      if (got > 0) crc_register = UpdateCrc(crc_register, block.data(), got);
      if (got < want) break;  // Short read: the CRC covers what was read.
      done += got;
    }
  }
  source.Seek(0);

  std::array<uint8_t, kEncryptionHeaderSize> header{};
  random.Reseed();
  for (size_t i = 0; i < 10; ++i) {
    header[i] = static_cast<uint8_t>(random.Next() & 0xFF);
  }
  const uint32_t crc = ~crc_register;
  header[10] = static_cast<uint8_t>(crc >> 16);
  header[11] = static_cast<uint8_t>(crc >> 24);

  keys = InitKeys(password);
  for (uint8_t plain : header) {
    const uint8_t cipher = EncryptByte(keys, plain);
    output.WriteBuffer(&cipher, 1);
  }
  return crc_register;
}

}  // namespace tessaly::engine
