#include "platform/heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tessaly::platform {

void ReturnLargeBlocksToTheSystem() {
#if defined(__GLIBC__)
  // A fixed threshold also stops glibc from raising it after each large
  // block freed, which would move later blocks into the reused heap.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  // One arena for every thread: the workers' smaller blocks are then
  // reused wherever they were freed, instead of each thread keeping a heap
  // of its own (less memory mapped afresh, and a lower peak).
  mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace tessaly::platform
