// Buffers for blocks of data: the source bytes of a block and the deflate
// output written for it.
//
// A BlockBuffer owns uninitialised memory (never zero-filled: every byte
// used is written first). It comes from the heap, or from a BlockPool and
// goes back to it when destroyed. A pool keeps the buffers given back for
// the next requests, so that a run of blocks reuses a few buffers instead
// of having the heap map and unmap memory for every block, and the memory
// it holds is bounded by its own limit rather than by how the heap treats
// large blocks.
//
// Thread rules: a pool may be used from any number of threads at once (it
// has its own lock); a buffer belongs to one thread at a time.
#ifndef TESSALY_ENGINE_IO_BLOCK_POOL_H_
#define TESSALY_ENGINE_IO_BLOCK_POOL_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

namespace tessaly::engine {

class BlockPool;

class BlockBuffer {
 public:
  BlockBuffer() = default;
  // `capacity` bytes of the heap, owned by this buffer alone.
  explicit BlockBuffer(size_t capacity);
  BlockBuffer(BlockBuffer&& other) noexcept;
  BlockBuffer& operator=(BlockBuffer&& other) noexcept;
  // Gives the memory back to its pool, or to the heap.
  ~BlockBuffer();

  uint8_t* data() const { return bytes_.get(); }
  size_t capacity() const { return capacity_; }
  explicit operator bool() const { return bytes_ != nullptr; }

 private:
  friend class BlockPool;
  void Release() noexcept;

  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacity_ = 0;
  std::shared_ptr<BlockPool> pool_;  // null for memory of the heap
};

// The source bytes of one block: the first `size` bytes of `buffer`.
struct SourceBlock {
  BlockBuffer buffer;
  size_t size = 0;

  std::span<const uint8_t> bytes() const { return {buffer.data(), size}; }
};

// A block as the writing thread and the workers share it (they only read it).
using SharedBlock = std::shared_ptr<const SourceBlock>;

class BlockPool : public std::enable_shared_from_this<BlockPool> {
 public:
  // New buffers are allocated in multiples of this size, so that blocks of
  // nearly the same size share buffers.
  static constexpr size_t kGranule = 64 * 1024;

  // What the pool holds, in bytes of buffer capacity.
  struct Usage {
    int64_t held = 0;       // in use and kept for reuse
    int64_t in_use = 0;     // handed out and not yet given back
    int64_t peak_held = 0;  // the most held at any time
    int64_t allocations = 0;  // buffers taken from the heap so far
  };

  // A pool that keeps at most `limit` bytes: a buffer given back while the
  // pool holds more is freed, and a new buffer first frees kept ones until
  // the pool is back within the limit (buffers in use are never taken
  // back, so `held` exceeds the limit only while they alone do).
  static std::shared_ptr<BlockPool> Create(int64_t limit);

  // A buffer of at least `size` bytes: the smallest kept one that is large
  // enough, else a new one. Throws std::bad_alloc.
  BlockBuffer Get(size_t size);

  Usage usage() const;

  // Use Create: buffers hold a reference to their pool.
  explicit BlockPool(int64_t limit) : limit_(limit) {}

 private:
  friend class BlockBuffer;
  void GiveBack(std::unique_ptr<uint8_t[]> bytes, size_t capacity) noexcept;

  const int64_t limit_;
  mutable std::mutex mutex_;
  std::multimap<size_t, std::unique_ptr<uint8_t[]>> kept_;  // by capacity
  Usage usage_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_BLOCK_POOL_H_
