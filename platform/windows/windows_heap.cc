#include "platform/heap.h"

namespace tessaly::platform {

// The process heap serves blocks of this size from the system and returns
// them when freed.
void ReturnLargeBlocksToTheSystem() {}

}  // namespace tessaly::platform
