// Traditional PKWARE encryption (APPNOTE 6.1).
//
// Each encrypted entry has its own key record, set up from the entry's
// password. Its data is preceded by a 12-byte encryption header: ten random
// bytes, then bits 16..23 and 24..31 of the entry's CRC-32 (the check bytes
// a reader compares after decrypting the header, APPNOTE 6.1.6). The
// compressed size of the entry includes these 12 bytes.
#ifndef TESSALY_ENGINE_FORMAT_ZIP_CRYPTO_H_
#define TESSALY_ENGINE_FORMAT_ZIP_CRYPTO_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string_view>

#include "engine/format/crc32.h"
#include "platform/stream.h"

namespace tessaly::engine {

struct ZipKeys {
  uint32_t key0 = 0;
  uint32_t key1 = 0;
  uint32_t key2 = 0;

  friend bool operator==(const ZipKeys&, const ZipKeys&) = default;
};

inline constexpr size_t kEncryptionHeaderSize = 12;

// Keys 0x12345678, 0x23456789, 0x34567890, then updated with every byte of
// `password` in order (its bytes as stored: no terminator, no case or code
// page conversion).
ZipKeys InitKeys(std::string_view password);

// The key update with byte `c` (APPNOTE 6.1.5).
inline void UpdateKeys(ZipKeys& keys, uint8_t c) {
  keys.key0 = CrcStep(keys.key0, c);
  keys.key1 = (keys.key1 + (keys.key0 & 0xFF)) * 134775813u + 1;
  keys.key2 = CrcStep(keys.key2, static_cast<uint8_t>(keys.key1 >> 24));
}

// The next key stream byte; does not change the keys.
inline uint8_t StreamByte(const ZipKeys& keys) {
  const uint32_t t = keys.key2 | 2;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

// Encrypts one byte: takes the stream byte, updates the keys with the plain
// byte and returns plain XOR stream byte.
inline uint8_t EncryptByte(ZipKeys& keys, uint8_t plain) {
  const uint8_t cipher = plain ^ StreamByte(keys);
  UpdateKeys(keys, plain);
  return cipher;
}

// Decrypts one byte: the inverse of EncryptByte (the keys take the plain
// byte it yields).
inline uint8_t DecryptByte(ZipKeys& keys, uint8_t cipher) {
  const uint8_t plain = cipher ^ StreamByte(keys);
  UpdateKeys(keys, plain);
  return plain;
}

// Encrypts buffer[offset] .. buffer[offset + length - 1] in place, in order,
// continuing `keys`. Does not allocate.
// REQUIRES: that range lies inside the buffer (buffer may be null when
// length is 0).
void EncryptBuffer(ZipKeys& keys, uint8_t* buffer, size_t offset,
                   size_t length);

// The source of the ten random bytes of each encryption header. It is
// reseeded once per entry; the seed mixes the clock with a process-wide
// counter, so two entries whose headers are made within one clock tick still
// get different bytes. Each drawn value lies in 0 .. 2^31 - 2.
// Not thread-safe; use one object per thread.
class HeaderRandom {
 public:
  // Seeds from the system clock.
  HeaderRandom();
  // Seeds from `clock()` instead of the system clock (the counter is still
  // mixed in). For tests that pin the clock.
  explicit HeaderRandom(std::function<uint64_t()> clock);
  // Every Reseed restarts the same sequence from `seed`. For tests that need
  // known header bytes.
  static HeaderRandom WithFixedSeed(uint64_t seed);

  // Starts a new sequence from a fresh seed.
  void Reseed();
  // The next value, 0 .. 0x7FFFFFFE.
  uint32_t Next();

 private:
  std::function<uint64_t()> clock_;
  std::optional<uint64_t> fixed_seed_;
  std::mt19937 engine_;
};

// Makes and writes the encryption header of one entry:
//  1. Feeds the source from its current position into a CRC register preset
//     to 0xFFFFFFFF, reading blocks of `block_size` bytes (a block size of 0
//     or less means 64 KiB), until `source_size` bytes are read or a read
//     returns fewer bytes than asked (the CRC then covers the bytes read).
//  2. Seeks the source to position 0.
//  3. Reseeds `random`; header bytes 0..9 are the lowest bytes of ten drawn
//     values; bytes 10 and 11 are bits 16..23 and 24..31 of the final CRC-32
//     (the complement of the register).
//  4. Sets `keys` up from `password` and writes the 12 header bytes to
//     `output`, each encrypted with EncryptByte and written on its own with
//     the stream's write-all operation.
// Returns the CRC register (not complemented); the entry's CRC-32 is its
// complement. `keys` is left ready to encrypt the entry's data.
// Throws platform::EWriteError when the output does not take a byte.
// REQUIRES: `password` is not empty (an empty password means no
// encryption).
uint32_t WriteEncryptionHeader(platform::Stream& source, int64_t source_size,
                               int64_t block_size, platform::Stream& output,
                               std::string_view password, ZipKeys& keys,
                               HeaderRandom& random);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ZIP_CRYPTO_H_
