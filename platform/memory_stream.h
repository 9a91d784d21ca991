// MemoryStream: a growable Stream held in memory.
#ifndef TESSALY_PLATFORM_MEMORY_STREAM_H_
#define TESSALY_PLATFORM_MEMORY_STREAM_H_

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace tessaly::platform {

class MemoryStream final : public Stream {
 public:
  MemoryStream() = default;
  // A stream holding a copy of `bytes`, positioned at 0.
  explicit MemoryStream(std::span<const uint8_t> bytes);
  explicit MemoryStream(std::string_view bytes);

  // Reads at most up to the end; 0 at or beyond the end.
  int64_t Read(void* buffer, int64_t count) override;
  // Always writes everything (or throws std::bad_alloc); a position beyond
  // the end is filled with zeros first.
  int64_t Write(const void* buffer, int64_t count) override;
  // -1 for a negative position.
  int64_t Seek(int64_t position) override;
  int64_t Position() const override { return position_; }
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  bool SetSize(int64_t size) override;

  // The content; valid until the next Write or SetSize.
  const uint8_t* data() const { return data_.data(); }
  std::span<const uint8_t> bytes() const { return data_; }
  std::string_view view() const {
    return {reinterpret_cast<const char*>(data_.data()), data_.size()};
  }

  // Empties the stream and moves to 0.
  void Clear();

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_MEMORY_STREAM_H_
