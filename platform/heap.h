// How the process heap treats large blocks.
#ifndef TESSALY_PLATFORM_HEAP_H_
#define TESSALY_PLATFORM_HEAP_H_

namespace tessaly::platform {

// Has every allocation of 256 KiB or more come from the system and go back
// to it when freed, whatever was allocated before. Compression on several
// threads allocates and frees blocks of up to a few MiB on every thread;
// a heap that keeps them for reuse (in a pool per thread, with a threshold
// that grows with the blocks seen) holds far more memory than is in use.
// The source blocks are reused from a pool of their own, but the deflate
// output of each block is allocated afresh: only the part deflate writes
// takes memory, usually well under the buffer's worst-case size. The price
// is the system's work of mapping fresh memory for each output block,
// which a program compressing on one thread need not pay. The smaller
// blocks of all threads share one heap, so a block freed by a worker is
// reused by the next one whatever thread takes it. Called once,
// early, by a program; no effect where the heap already does this
// (Windows serves such blocks from the system directly).
void ReturnLargeBlocksToTheSystem();

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_HEAP_H_
