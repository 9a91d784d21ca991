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
#endif
}

}  // namespace tessaly::platform
