#include "engine/directory/signature_scanner.h"

#include <algorithm>
#include <cstring>

namespace tessaly::engine {

int64_t StreamSize(const platform::Stream& stream) {
  return std::max<int64_t>(stream.Size(), 0);
}

bool ReadAt(platform::Stream& stream, int64_t position, void* buffer,
            int64_t count) {
  if (position < 0 || count < 0) return false;
  if (count == 0) return true;
  if (stream.Seek(position) != position) return false;
  return stream.Read(buffer, count) == count;
}

SignatureScanner::SignatureScanner(platform::Stream& stream, uint32_t signature,
                                   int64_t chunk_size)
    : stream_(stream), chunk_size_(std::max<int64_t>(chunk_size, 5)) {
  for (size_t i = 0; i < signature_.size(); ++i) {
    signature_[i] = static_cast<uint8_t>(signature >> (8 * i));
  }
}

bool SignatureScanner::Load(int64_t start) {
  buffer_.resize(static_cast<size_t>(chunk_size_));
  int64_t got = 0;
  if (stream_.Seek(start) == start) {
    got = std::max<int64_t>(stream_.Read(buffer_.data(), chunk_size_), 0);
  }
  buffer_.resize(static_cast<size_t>(got));
  buffer_start_ = start;
  at_end_ = got < chunk_size_;
  return got >= 4;
}

int64_t SignatureScanner::Next(int64_t from) {
  int64_t position = std::max<int64_t>(from, 0);
  const bool covered =
      buffer_start_ >= 0 && position >= buffer_start_ &&
      position < buffer_start_ + static_cast<int64_t>(buffer_.size());
  if (!covered && !Load(position)) return -1;
  for (;;) {
    const int64_t size = static_cast<int64_t>(buffer_.size());
    for (int64_t i = std::max<int64_t>(position - buffer_start_, 0);
         i + 4 <= size; ++i) {
      if (std::memcmp(&buffer_[static_cast<size_t>(i)], signature_.data(), 4) ==
          0) {
        return buffer_start_ + i;
      }
    }
    if (at_end_) return -1;
    // Every position up to size - 4 was compared; the next chunk starts
    // 4 bytes before the end of this one.
    position = buffer_start_ + size - 3;
    if (!Load(buffer_start_ + size - 4)) return -1;
  }
}

}  // namespace tessaly::engine
