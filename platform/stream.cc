#include "platform/stream.h"

#include <algorithm>
#include <vector>

#include "platform/exception.h"

namespace tessaly::platform {

void Stream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError();
}

void Stream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError();
}

int64_t Stream::CopyFrom(Stream& source, int64_t count) {
  if (count < 0)
    count = std::max<int64_t>(0, source.Size() - source.Position());
  constexpr int64_t kBlockSize = 64 * 1024;
  std::vector<char> block(static_cast<size_t>(std::min(count, kBlockSize)));
  int64_t copied = 0;
  while (copied < count) {
    const int64_t n = std::min(count - copied, kBlockSize);
    source.ReadBuffer(block.data(), n);
    WriteBuffer(block.data(), n);
    copied += n;
  }
  return copied;
}

}  // namespace tessaly::platform
