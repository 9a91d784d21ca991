#include "engine/io/block_pool.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace tessaly::engine {

BlockBuffer::BlockBuffer(size_t capacity)
    : bytes_(std::make_unique_for_overwrite<uint8_t[]>(capacity)),
      capacity_(capacity) {}

BlockBuffer::BlockBuffer(BlockBuffer&& other) noexcept
    : bytes_(std::move(other.bytes_)),
      capacity_(std::exchange(other.capacity_, 0)),
      pool_(std::move(other.pool_)) {}

BlockBuffer& BlockBuffer::operator=(BlockBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    bytes_ = std::move(other.bytes_);
    capacity_ = std::exchange(other.capacity_, 0);
    pool_ = std::move(other.pool_);
  }
  return *this;
}

BlockBuffer::~BlockBuffer() { Release(); }

void BlockBuffer::Release() noexcept {
  if (pool_ != nullptr && bytes_ != nullptr) {
    pool_->GiveBack(std::move(bytes_), capacity_);
  }
  bytes_.reset();
  pool_.reset();
  capacity_ = 0;
}

std::shared_ptr<BlockPool> BlockPool::Create(int64_t limit) {
  return std::make_shared<BlockPool>(limit);
}

BlockBuffer BlockPool::Get(size_t size) {
  BlockBuffer buffer;
  buffer.pool_ = shared_from_this();
  std::unique_lock lock(mutex_);
  // A kept buffer serves only requests of at least half its size: a small
  // block does not hold on to the memory of a large one.
  const auto found = kept_.lower_bound(size);
  if (found != kept_.end() && found->first <= std::max(2 * size, kGranule)) {
    buffer.capacity_ = found->first;
    buffer.bytes_ = std::move(found->second);
    kept_.erase(found);
    usage_.in_use += static_cast<int64_t>(buffer.capacity_);
    return buffer;
  }
  const size_t capacity =
      std::max<size_t>(1, (size + kGranule - 1) / kGranule) * kGranule;
  // Counted before it is taken, so that kept buffers make room for it.
  usage_.held += static_cast<int64_t>(capacity);
  usage_.in_use += static_cast<int64_t>(capacity);
  std::vector<std::unique_ptr<uint8_t[]>> freed;
  while (usage_.held > limit_ && !kept_.empty()) {
    const auto largest = std::prev(kept_.end());
    usage_.held -= static_cast<int64_t>(largest->first);
    freed.push_back(std::move(largest->second));
    kept_.erase(largest);
  }
  usage_.peak_held = std::max(usage_.peak_held, usage_.held);
  ++usage_.allocations;
  lock.unlock();
  freed.clear();
  try {
    buffer.bytes_ = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  } catch (...) {
    lock.lock();
    usage_.held -= static_cast<int64_t>(capacity);
    usage_.in_use -= static_cast<int64_t>(capacity);
    throw;
  }
  buffer.capacity_ = capacity;
  return buffer;
}

void BlockPool::GiveBack(std::unique_ptr<uint8_t[]> bytes,
                         size_t capacity) noexcept {
  std::unique_lock lock(mutex_);
  usage_.in_use -= static_cast<int64_t>(capacity);
  if (usage_.held <= limit_) {
    try {
      kept_.emplace(capacity, std::move(bytes));
      return;
    } catch (const std::bad_alloc&) {
      // No room for the entry that keeps it: freed instead.
    }
  }
  usage_.held -= static_cast<int64_t>(capacity);
  lock.unlock();
  bytes.reset();
}

BlockPool::Usage BlockPool::usage() const {
  std::lock_guard lock(mutex_);
  return usage_;
}

}  // namespace tessaly::engine
