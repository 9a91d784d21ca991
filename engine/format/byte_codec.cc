#include "engine/format/byte_codec.h"

#include <cstring>

namespace tessaly::engine {

uint8_t* ByteWriter::Reserve(size_t n) {
  if (!ok_) return nullptr;
  if (vector_ != nullptr) {
    const size_t old_size = vector_->size();
    vector_->resize(old_size + n);
    written_ += n;
    return vector_->data() + old_size;
  }
  if (n > span_.size() - written_) {
    ok_ = false;
    return nullptr;
  }
  uint8_t* p = span_.data() + written_;
  written_ += n;
  return p;
}

void ByteWriter::PutU16(uint16_t value) {
  if (uint8_t* p = Reserve(2)) EncodeFixed16(p, value);
}

void ByteWriter::PutU32(uint32_t value) {
  if (uint8_t* p = Reserve(4)) EncodeFixed32(p, value);
}

void ByteWriter::PutU64(uint64_t value) {
  if (uint8_t* p = Reserve(8)) EncodeFixed64(p, value);
}

void ByteWriter::PutBytes(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (uint8_t* p = Reserve(bytes.size())) {
    std::memcpy(p, bytes.data(), bytes.size());
  }
}

const uint8_t* ByteReader::Take(size_t n) {
  if (!ok_ || n > data_.size() - position_) {
    ok_ = false;
    return nullptr;
  }
  const uint8_t* p = data_.data() + position_;
  position_ += n;
  return p;
}

bool ByteReader::GetU16(uint16_t* value) {
  const uint8_t* p = Take(2);
  *value = p != nullptr ? DecodeFixed16(p) : 0;
  return p != nullptr;
}

bool ByteReader::GetU32(uint32_t* value) {
  const uint8_t* p = Take(4);
  *value = p != nullptr ? DecodeFixed32(p) : 0;
  return p != nullptr;
}

bool ByteReader::GetU64(uint64_t* value) {
  const uint8_t* p = Take(8);
  *value = p != nullptr ? DecodeFixed64(p) : 0;
  return p != nullptr;
}

bool ByteReader::GetBytes(std::span<uint8_t> out) {
  if (out.empty()) return ok_;  // An empty span may have no data pointer.
  const uint8_t* p = Take(out.size());
  if (p == nullptr) return false;
  std::memcpy(out.data(), p, out.size());
  return true;
}

bool ByteReader::Skip(size_t n) {
  if (n == 0) return ok_;
  return Take(n) != nullptr;
}

}  // namespace tessaly::engine
