// The one little-endian codec of the record layer. Every ZIP record is
// packed and little-endian (APPNOTE 4.4.1.1); records are encoded through a
// ByteWriter and decoded through a ByteReader so that no other file of the
// engine computes field offsets by hand.
#ifndef TESSALY_ENGINE_FORMAT_BYTE_CODEC_H_
#define TESSALY_ENGINE_FORMAT_BYTE_CODEC_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessaly::engine {

// Raw helpers over memory the caller has already checked.
// REQUIRES: `p` points at 2, 4 or 8 accessible bytes respectively.
inline uint16_t DecodeFixed16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t DecodeFixed32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t DecodeFixed64(const uint8_t* p) {
  return static_cast<uint64_t>(DecodeFixed32(p)) |
         (static_cast<uint64_t>(DecodeFixed32(p + 4)) << 32);
}
inline void EncodeFixed16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void EncodeFixed32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void EncodeFixed64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends little-endian values to a growable buffer, or writes them into a
// fixed span from its start.
//
// In fixed mode a Put that does not fit in the space left writes nothing and
// marks the writer failed; every later Put is refused too, so a caller can
// encode a whole record and check ok() once. A growable writer never fails.
// The buffer or span is not owned and must outlive the writer.
// Not thread-safe.
class ByteWriter {
 public:
  // Appends to `*out` (existing contents are kept).
  explicit ByteWriter(std::vector<uint8_t>* out) : vector_(out) {}
  // Writes into `out` from its first byte.
  explicit ByteWriter(std::span<uint8_t> out) : span_(out) {}

  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void PutU16(uint16_t value);
  void PutU32(uint32_t value);
  void PutU64(uint64_t value);
  void PutBytes(std::span<const uint8_t> bytes);

  // False once a Put was refused in fixed mode.
  bool ok() const { return ok_; }
  // Number of bytes this writer has put so far.
  size_t written() const { return written_; }

 private:
  // Returns where `n` bytes go, or nullptr (and fails) when they do not fit.
  uint8_t* Reserve(size_t n);

  std::vector<uint8_t>* vector_ = nullptr;
  std::span<uint8_t> span_;
  size_t written_ = 0;
  bool ok_ = true;
};

// Reads little-endian values from a span, front to back, with bounds checks.
//
// A Get that asks for more bytes than remain reads nothing, stores zero (or
// leaves `out` untouched for GetBytes), returns false and marks the reader
// failed; every later Get fails as well, so a decoder may read a whole record
// and check ok() once. Nothing outside the span is ever read.
// The span is not owned and must outlive the reader. Not thread-safe.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool GetU16(uint16_t* value);
  bool GetU32(uint32_t* value);
  bool GetU64(uint64_t* value);
  // Copies out.size() bytes into `out`.
  bool GetBytes(std::span<uint8_t> out);
  // Moves past `n` bytes.
  bool Skip(size_t n);

  bool ok() const { return ok_; }
  size_t position() const { return position_; }
  // Bytes left to read; 0 once the reader has failed.
  size_t remaining() const { return ok_ ? data_.size() - position_ : 0; }

 private:
  // Returns the next `n` bytes and advances, or nullptr (and fails).
  const uint8_t* Take(size_t n);

  std::span<const uint8_t> data_;
  size_t position_ = 0;
  bool ok_ = true;
};

// Encodes a fixed-size record (one with kFixedSize and Encode) into an array.
template <typename Record>
std::array<uint8_t, Record::kFixedSize> EncodeToArray(const Record& record) {
  std::array<uint8_t, Record::kFixedSize> bytes{};
  ByteWriter writer{std::span<uint8_t>(bytes)};
  record.Encode(writer);
  return bytes;
}

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_BYTE_CODEC_H_
