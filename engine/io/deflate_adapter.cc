// One zlib deflate stream per entry, fed one block at a time (see
// engine/io/deflate_block.h). zlib is driven in its zlib format, so the
// first chunk starts with the 2-byte zlib header and the last ends with the
// 4-byte Adler-32 trailer (RFC 1950); both are cut off, leaving raw deflate
// data (RFC 1951) as APPNOTE 4.4.5 method 8 wants.
#include "engine/io/deflate_adapter.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "engine/format/crc32.h"
#include "engine/io/compression_error.h"
#include "engine/io/deflate_block.h"

namespace tessaly::engine {

int64_t DeflateBlockSize(uint8_t level) {
  if (level >= 1 && level <= 3) return 512 * 1024;
  if (level >= 7) return 1536 * 1024;
  return 1024 * 1024;
}

int64_t DeflateOutputBufferSize(int64_t n) {
  const int64_t size = n + n / 10 + 12;
  return (size + 255) / 256 * 256;
}

void CompressEntry(platform::Stream& source, int64_t source_size,
                   platform::Stream& output, uint8_t level, uint16_t method,
                   std::string_view password, CompressCounters& counters,
                   CompressProgress& progress, HeaderRandom* random) {
  const int64_t block_size = DeflateBlockSize(level);
  const int64_t buffer_size =
      std::max<int64_t>(0, std::min(block_size, source_size));
  auto input = std::make_unique_for_overwrite<uint8_t[]>(
      static_cast<size_t>(buffer_size));

  DeflateStream deflater(level, DeflateFraming::kZlib);
  const bool deflating = method == 8;
  const bool encrypting = !password.empty();

  ZipKeys keys;
  if (encrypting) {
    std::optional<HeaderRandom> own_random;
    if (random == nullptr) random = &own_random.emplace();
    counters.crc = WriteEncryptionHeader(source, source_size, block_size,
                                         output, password, keys, *random);
    counters.bytes_processed = 0;
    counters.compressed_size += kEncryptionHeaderSize;
  }

  progress.Start(source_size);
  bool stopped_early = false;
  bool first_block = true;
  while (counters.bytes_processed < source_size) {
    progress.BeforeBlock(counters.bytes_processed, source_size);
    if (progress.Cancelled()) {
      stopped_early = true;
      break;
    }
    const int64_t n =
        std::min(block_size, source_size - counters.bytes_processed);
    if (source.Read(input.get(), n) != n) {
      stopped_early = true;
      break;
    }
    if (!encrypting) counters.crc = UpdateCrc(counters.crc, input.get(), n);

    const bool last_block = counters.bytes_processed + n == source_size;
    DeflateChunk chunk;
    if (deflating) {
      chunk = DeflateBlock(deflater.get(), input.get(), n, last_block);
      if (first_block) {
        chunk.offset = kZlibHeaderSize;
        chunk.length -= kZlibHeaderSize;
      }
    } else {
      chunk.data = input.get();
      chunk.length = n;
    }
    first_block = false;

    // The last chunk is encrypted with its trailer, which is then dropped:
    // nothing follows it, so no written byte depends on the dropped ones.
    if (encrypting) {
      EncryptBuffer(keys, chunk.data, static_cast<size_t>(chunk.offset),
                    static_cast<size_t>(chunk.length));
    }
    counters.bytes_processed += n;
    if (deflating && last_block) chunk.length -= kAdlerTrailerSize;

    if (output.Write(chunk.data + chunk.offset, chunk.length) != chunk.length) {
      counters.bytes_processed -= n;
      stopped_early = true;
      break;
    }
    counters.compressed_size += chunk.length;
  }

  // A stream left in the middle of its data reports an error when ended;
  // that is expected after an early stop, which the caller detects from the
  // byte count.
  const int end_result = deflater.End();
  if (!stopped_early) CheckCompressionResult(end_result);
}

}  // namespace tessaly::engine
