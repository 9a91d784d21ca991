#include "engine/io/block_pool.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tessaly::engine {
// Named, so that the helpers stay apart from other files built with this one.
namespace block_pool_test {
namespace {

constexpr size_t kMiB = 1024 * 1024;

// Buffers given back serve the next requests of about their size, also
// across sizes within the granule; a much smaller request does not take a
// large buffer (it gets its own), and every buffer comes back.
TEST(BlockPoolTest, ReusesBuffersOfAboutTheRequestedSize) {
  const std::shared_ptr<BlockPool> pool = BlockPool::Create(16 * kMiB);
  uint8_t* first = nullptr;
  {
    BlockBuffer a = pool->Get(1536 * 1024);
    BlockBuffer b = pool->Get(1536 * 1024);
    EXPECT_GE(a.capacity(), 1536u * 1024);
    EXPECT_NE(a.data(), b.data());
    first = a.data();
    a.data()[a.capacity() - 1] = 1;  // all of it is usable
  }
  EXPECT_EQ(pool->usage().allocations, 2);
  EXPECT_EQ(pool->usage().in_use, 0);
  for (int block = 0; block < 10; ++block) {
    BlockBuffer a = pool->Get(1536 * 1024);
    BlockBuffer b = pool->Get(1000 * 1024);  // more than half: reused too
    EXPECT_TRUE(a.data() == first || b.data() == first);
  }
  EXPECT_EQ(pool->usage().allocations, 2);

  BlockBuffer small = pool->Get(10 * 1024);
  EXPECT_EQ(small.capacity(), BlockPool::kGranule);
  EXPECT_EQ(pool->usage().allocations, 3);
  BlockBuffer moved = std::move(small);
  EXPECT_FALSE(small);
  EXPECT_EQ(pool->usage().in_use, static_cast<int64_t>(BlockPool::kGranule));
  moved = BlockBuffer();  // given back by assignment as well
  EXPECT_EQ(pool->usage().in_use, 0);
  EXPECT_EQ(pool->usage().held, 2 * 1536 * 1024 + 64 * 1024);
}

// The pool keeps no more than its limit: buffers beyond it are freed when
// they come back, and kept ones make room for a new buffer. Buffers in use
// are never taken back.
TEST(BlockPoolTest, KeepsNoMoreThanItsLimit) {
  const int64_t limit = 4 * kMiB;
  const std::shared_ptr<BlockPool> pool = BlockPool::Create(limit);
  std::vector<BlockBuffer> buffers;
  for (int i = 0; i < 6; ++i) buffers.push_back(pool->Get(kMiB));
  EXPECT_EQ(pool->usage().held, 6 * static_cast<int64_t>(kMiB));
  buffers.clear();
  EXPECT_EQ(pool->usage().in_use, 0);
  EXPECT_LE(pool->usage().held, limit);
  EXPECT_EQ(pool->usage().peak_held, 6 * static_cast<int64_t>(kMiB));

  // Four 1 MiB buffers are kept: a 3 MiB one must free some of them.
  const int64_t kept = pool->usage().held;
  BlockBuffer large = pool->Get(3 * kMiB);
  EXPECT_LE(pool->usage().held, limit);
  EXPECT_LT(pool->usage().held - static_cast<int64_t>(large.capacity()), kept);
}

// A buffer keeps its pool alive; the pool and the buffers it kept are freed
// with the last reference, whichever goes last.
TEST(BlockPoolTest, PoolGoesWithItsLastBuffer) {
  std::shared_ptr<BlockPool> pool = BlockPool::Create(kMiB);
  const std::weak_ptr<BlockPool> watch = pool;
  { BlockBuffer kept = pool->Get(1000); }
  BlockBuffer out = pool->Get(1000);
  pool.reset();
  EXPECT_FALSE(watch.expired());
  out = BlockBuffer();
  EXPECT_TRUE(watch.expired());

  // A buffer of the heap has no pool.
  BlockBuffer own(100);
  EXPECT_EQ(own.capacity(), 100u);
}

}  // namespace
}  // namespace block_pool_test
}  // namespace tessaly::engine
