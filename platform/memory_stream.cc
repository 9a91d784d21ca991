#include "platform/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace tessaly::platform {

MemoryStream::MemoryStream(std::span<const uint8_t> bytes)
    : data_(bytes.begin(), bytes.end()) {}

MemoryStream::MemoryStream(std::string_view bytes)
    : data_(bytes.begin(), bytes.end()) {}

int64_t MemoryStream::Read(void* buffer, int64_t count) {
  const int64_t available = Size() - position_;
  if (count <= 0 || available <= 0) return 0;
  const int64_t n = std::min(count, available);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));  // zero-fills gaps
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t MemoryStream::Seek(int64_t position) {
  if (position < 0) return -1;
  position_ = position;
  return position_;
}

bool MemoryStream::SetSize(int64_t size) {
  if (size < 0) return false;
  data_.resize(static_cast<size_t>(size));
  position_ = std::min(position_, size);
  return true;
}

void MemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

}  // namespace tessaly::platform
