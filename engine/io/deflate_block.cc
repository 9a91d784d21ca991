#include "engine/io/deflate_block.h"

#include <cstdlib>
#include <cstring>

#include "engine/io/compression_error.h"
#include "engine/io/deflate_adapter.h"

namespace tessaly::engine {
namespace {

constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;

// zlib's memory hooks: zero-filled memory from the C heap.
voidpf ZeroedAlloc(voidpf /*opaque*/, uInt items, uInt size) {
  return std::calloc(items, size);
}

void ZeroedFree(voidpf /*opaque*/, voidpf address) { std::free(address); }

// Whether the deflate call with `flush` has delivered all of its output.
bool DeflateComplete(const z_stream& stream, int flush, int result) {
  if (flush == Z_FINISH) return result == Z_STREAM_END;
  return stream.avail_in == 0 && stream.avail_out != 0;
}

}  // namespace

DeflateStream::DeflateStream(uint8_t level, DeflateFraming framing) {
  std::memset(&stream_, 0, sizeof stream_);
  stream_.zalloc = ZeroedAlloc;
  stream_.zfree = ZeroedFree;
  stream_.opaque = nullptr;
  const int window_bits =
      framing == DeflateFraming::kRaw ? -kWindowBits : kWindowBits;
  const int result = deflateInit2_(
      &stream_, level, Z_DEFLATED, window_bits, kMemoryLevel,
      Z_DEFAULT_STRATEGY, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
  if (result < 0) {
    ended_ = true;  // nothing to end: the stream has no state
    CheckCompressionResult(result);
  }
}

DeflateStream::~DeflateStream() {
  if (!ended_) deflateEnd(&stream_);
}

void DeflateStream::SetDictionary(std::span<const uint8_t> dictionary) {
  if (dictionary.empty()) return;
  CheckCompressionResult(deflateSetDictionary(
      &stream_, dictionary.data(), static_cast<uInt>(dictionary.size())));
}

int DeflateStream::End() {
  ended_ = true;
  return deflateEnd(&stream_);
}

DeflateChunk DeflateBlock(z_stream& stream, const uint8_t* input, int64_t n,
                          bool last, DeflateChunk* reuse) {
  int64_t capacity = DeflateOutputBufferSize(n);
  DeflateChunk chunk;
  if (reuse != nullptr && reuse->owned && reuse->capacity >= capacity) {
    // More room than the bound changes nothing in what deflate writes.
    chunk.owned = std::move(reuse->owned);
    capacity = reuse->capacity;
    *reuse = {};
  } else {
    chunk.owned = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  }
  chunk.capacity = capacity;
  chunk.data = chunk.owned.get();

  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  // zlib reads the input only; its field is not const.
  stream.next_in = const_cast<uint8_t*>(input);
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
    chunk.capacity = grown;
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

}  // namespace tessaly::engine
