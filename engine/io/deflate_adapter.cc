// One zlib deflate stream per entry, fed one block at a time.
//
// Every block but the last is compressed with a sync flush, so each chunk
// ends on a byte boundary and can be written (and encrypted) on its own; the
// last block is compressed with finish. zlib is driven in its zlib format
// (deflateInit_), so the first chunk starts with the 2-byte zlib header and
// the last ends with the 4-byte Adler-32 trailer (RFC 1950); both are cut
// off, leaving raw deflate data (RFC 1951) as APPNOTE 4.4.5 method 8 wants.
//
// The output buffer of a block (n + n/10 + 12 bytes, rounded up to 256) is
// larger than zlib's bound for n input bytes, so one deflate call normally
// takes the whole block. Should zlib still ask for more room, the buffer is
// grown and deflate called again with the same flush, so a chunk is never
// cut short. The chunk length is measured from the output space used,
// which stays correct for entries beyond 4 GiB whatever the width of zlib's
// total counters.
#include "engine/io/deflate_adapter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <zlib.h>

#include "engine/format/crc32.h"
#include "engine/io/compression_error.h"

namespace tessaly::engine {
namespace {

constexpr int64_t kZlibHeaderSize = 2;
constexpr int64_t kAdlerTrailerSize = 4;

// zlib's memory hooks: zero-filled memory from the C heap.
voidpf ZeroedAlloc(voidpf /*opaque*/, uInt items, uInt size) {
  return std::calloc(items, size);
}

void ZeroedFree(voidpf /*opaque*/, voidpf address) { std::free(address); }

// Owns one deflate stream; ends it when destroyed unless End() ran.
class DeflateStream {
 public:
  explicit DeflateStream(uint8_t level) {
    std::memset(&stream_, 0, sizeof stream_);
    stream_.zalloc = ZeroedAlloc;
    stream_.zfree = ZeroedFree;
    stream_.opaque = nullptr;
    // The zlib format with method 8, window bits 15, memory level 8 and the
    // default strategy.
    const int result = deflateInit_(&stream_, level, ZLIB_VERSION,
                                    static_cast<int>(sizeof(z_stream)));
    if (result < 0) {
      ended_ = true;  // nothing to end: the stream has no state
      CheckCompressionResult(result);
    }
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  ~DeflateStream() {
    if (!ended_) deflateEnd(&stream_);
  }

  z_stream& get() { return stream_; }

  // Ends the stream and returns zlib's result.
  int End() {
    ended_ = true;
    return deflateEnd(&stream_);
  }

 private:
  z_stream stream_;
  bool ended_ = false;
};

// The output of one block: `length` bytes from `data + offset`.
struct Chunk {
  std::unique_ptr<uint8_t[]> owned;  // deflate output; empty for stored data
  uint8_t* data = nullptr;
  int64_t offset = 0;
  int64_t length = 0;
};

// Whether the deflate call with `flush` has delivered all of its output.
bool DeflateComplete(const z_stream& stream, int flush, int result) {
  if (flush == Z_FINISH) return result == Z_STREAM_END;
  return stream.avail_in == 0 && stream.avail_out != 0;
}

// Compresses `n` bytes at `input` into one chunk.
Chunk DeflateBlock(z_stream& stream, uint8_t* input, int64_t n, bool last) {
  int64_t capacity = DeflateOutputBufferSize(n);
  Chunk chunk;
  chunk.owned = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  chunk.data = chunk.owned.get();

  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  stream.next_in = input;
  stream.avail_in = static_cast<uInt>(n);
  stream.next_out = chunk.data;
  stream.avail_out = static_cast<uInt>(capacity);
  int result = CheckCompressionResult(deflate(&stream, flush));
  int64_t used = capacity - stream.avail_out;

  while (!DeflateComplete(stream, flush, result)) {
    const int64_t grown = capacity * 2;
    auto bigger = std::make_unique_for_overwrite<uint8_t[]>(grown);
    std::memcpy(bigger.get(), chunk.data, static_cast<size_t>(used));
    chunk.owned = std::move(bigger);
    chunk.data = chunk.owned.get();
    stream.next_out = chunk.data + used;
    stream.avail_out = static_cast<uInt>(grown - used);
    capacity = grown;
    result = deflate(&stream, flush);
    // A repeated flush with nothing left to deliver reports "no progress".
    if (result == Z_BUF_ERROR && flush != Z_FINISH) break;
    CheckCompressionResult(result);
    used = capacity - stream.avail_out;
  }
  chunk.length = used;
  return chunk;
}

}  // namespace

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

  DeflateStream deflater(level);
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
    Chunk chunk;
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
