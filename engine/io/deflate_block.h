// One zlib deflate stream and one block of its output: the steps shared by
// the serial deflate adapter and the parallel compressor.
//
// Every block but the last of an entry is compressed with a sync flush, so
// each chunk ends on a byte boundary and can be written (and encrypted) on
// its own; the last block is compressed with finish.
#ifndef TESSALY_ENGINE_IO_DEFLATE_BLOCK_H_
#define TESSALY_ENGINE_IO_DEFLATE_BLOCK_H_

#include <cstdint>
#include <memory>
#include <span>

#include <zlib.h>

namespace tessaly::engine {

// The zlib format (RFC 1950: a 2-byte header before the data and the 4-byte
// Adler-32 after it) or raw deflate data (RFC 1951).
enum class DeflateFraming { kZlib, kRaw };

// Size of the zlib header and the Adler-32 trailer of the zlib format.
inline constexpr int64_t kZlibHeaderSize = 2;
inline constexpr int64_t kAdlerTrailerSize = 4;

// Owns one deflate stream (method 8, window bits 15, memory level 8, the
// default strategy); ends it when destroyed unless End() ran. Throws
// ECompressionError when zlib refuses the level.
class DeflateStream {
 public:
  DeflateStream(uint8_t level, DeflateFraming framing);
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  ~DeflateStream();

  z_stream& get() { return stream_; }

  // Primes the stream with the bytes that precede its first input (at most
  // the last 32 KiB are used). Only before the first block of a raw stream.
  void SetDictionary(std::span<const uint8_t> dictionary);

  // Ends the stream and returns zlib's result.
  int End();

 private:
  z_stream stream_;
  bool ended_ = false;
};

// The output of one block: `length` bytes from `data + offset`.
struct DeflateChunk {
  std::unique_ptr<uint8_t[]> owned;  // deflate output; empty for stored data
  int64_t capacity = 0;              // bytes at `owned`
  uint8_t* data = nullptr;
  int64_t offset = 0;
  int64_t length = 0;
};

// Compresses `n` bytes at `input` into one chunk, with finish when `last`
// and a sync flush otherwise. The output buffer (DeflateOutputBufferSize)
// is larger than zlib's bound for n input bytes, so one deflate call
// normally takes the whole block; should zlib still ask for more room, the
// buffer is grown and deflate called again with the same flush, so a chunk
// is never cut short. The length is measured from the output space used,
// which stays correct beyond 4 GiB whatever the width of zlib's counters.
// The buffer of `reuse` (the chunk of an earlier block, whose data are no
// longer needed) is taken over when it is large enough: a stream of blocks
// then allocates its output memory once. Throws ECompressionError when zlib
// reports a failure.
DeflateChunk DeflateBlock(z_stream& stream, const uint8_t* input, int64_t n,
                          bool last, DeflateChunk* reuse = nullptr);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_DEFLATE_BLOCK_H_
