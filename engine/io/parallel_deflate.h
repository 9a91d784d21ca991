// The parallel compressor: compresses the blocks of entries on a small pool
// of worker threads and hands each entry's blocks back in the order they
// were submitted, exactly as the serial deflate adapter would have written
// them.
//
// A block of levels 0 and 4-9 is compressed on its own: a raw deflate
// stream primed with the previous 32 KiB of its entry as a preset
// dictionary, ended with a sync flush (finish for the last block). For
// those levels zlib's matcher keeps every position of the window in its
// hash chains, so a fresh stream primed this way finds the same matches
// and writes the same bytes as the one long stream. Levels 1-3 insert only
// some positions of a long match into the chains, so the chains after a
// block depend on the whole history of the stream: their blocks are run in
// order on one stream per entry (one worker at a time per entry), and
// parallelism comes from several entries in flight. The first block of any
// entry starts a fresh stream, so it can be compressed before the entries
// ahead of it are written, at every level.
//
// Several entries may be open at once, each with its own level, window and
// stream: the one being written and entries further on whose first blocks
// were read ahead. Their blocks share one in-flight count.
//
// Thread rules: every public member is called from one thread (the one
// that owns the unit). Workers touch only their jobs. The destructor stops
// and joins the workers whatever state the unit is in.
#ifndef TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_
#define TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "engine/io/deflate_block.h"

namespace tessaly::engine {

// One compressed block as the serial stream writes it: raw deflate data
// (no zlib header or trailer), and the CRC-32 of its source bytes.
struct DeflatedBlock {
  // The data are the chunk's `length` bytes from `offset`. The chunk is
  // handed over as deflate wrote it (no copy): its buffer has room for the
  // worst case, but memory that was never written to is not taken.
  DeflateChunk chunk;
  uint32_t crc = 0;         // CRC-32 of the source bytes (complemented form)
  int64_t source_size = 0;  // source bytes of the block
  bool last = false;        // the entry's last block

  std::span<uint8_t> data() const {
    return {chunk.data + chunk.offset, static_cast<size_t>(chunk.length)};
  }
};

// The register of a CRC-32 (engine/format/crc32.h) after feeding a block of
// `block_size` bytes whose CRC-32 is `block_crc`.
uint32_t AppendBlockCrc(uint32_t crc_register, uint32_t block_crc,
                        int64_t block_size);

// Whether blocks at `level` are compressed independently of each other.
bool DeflateBlocksIndependent(uint8_t level);

// The number of compression threads a setting asks for: the setting when
// it is 1 or more, else one per processor core (1 when unknown).
int CompressionThreadCount(int32_t setting);

class ParallelDeflate {
 public:
  // Names an open entry of the unit.
  using EntryId = int64_t;

  // `threads` workers (at least 1), started at the first Submit.
  // `max_in_flight` (at least 1; 0 means two per worker) is the budget of
  // blocks submitted and not yet taken that Full() reports, counted in
  // blocks of the largest size (1.5 MiB): a smaller block takes its share
  // of it in steps of 512 KiB, so that many small entries can be in flight
  // in the memory of a few large blocks. The unit itself does not refuse
  // blocks beyond the budget (the caller keeps to it, see Full).
  explicit ParallelDeflate(int threads, int max_in_flight = 0);
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;
  ~ParallelDeflate();

  // Opens an entry compressed at `level` and returns its id. `preceding`
  // are the entry's bytes before its next block when the entry is taken up
  // in the middle (levels whose blocks are independent only).
  EntryId OpenEntry(uint8_t level, std::span<const uint8_t> preceding = {});

  // Whether the budget of blocks in flight is used up.
  bool Full() const { return load_ >= capacity_; }
  int threads() const { return threads_; }
  // Blocks submitted and not yet taken, of every entry or of one.
  int InFlight() const { return in_flight_; }
  int InFlight(EntryId entry) const;

  // Queues the next block of `entry`; `last` marks its final block. The
  // workers only read the block, so the caller may keep and read it too.
  // REQUIRES: the entry is open and its last block not yet submitted; the
  // block is not empty.
  void Submit(EntryId entry, std::shared_ptr<const std::vector<uint8_t>> block,
              bool last);

  // Has the workers start the blocks of `entry` before any other (the
  // entry being written waits for them); 0 for none.
  void SetUrgent(EntryId entry);

  // Waits for the oldest block of `entry` in flight and returns it.
  // Rethrows what its compression threw (ECompressionError for a zlib
  // failure, bad_alloc). REQUIRES: InFlight(entry) > 0.
  DeflatedBlock Take(EntryId entry);

  // Closes `entry` and drops its blocks in flight: those not started are
  // never compressed, the running ones are waited for. Nothing happens for
  // an entry that is not open.
  void Discard(EntryId entry);

 private:
  struct Job;
  struct Chain;
  // Submission state of one open entry (owner thread only).
  struct Entry {
    uint8_t level = 0;
    bool first_block = true;
    bool closed = false;            // its last block was submitted
    int in_flight = 0;
    int64_t load = 0;               // its share of the budget in flight
    std::vector<uint8_t> window;    // the last 32 KiB submitted
    std::shared_ptr<Chain> chain;   // levels run in order on one stream
  };

  void StartWorkers();
  void WorkerLoop();
  // The job a worker should start: the first queued one of the urgent
  // entry, else the first queued one; null when none may start.
  // REQUIRES: mutex_ held.
  std::shared_ptr<Job> RunnableJob();
  static bool MayStart(const Job& job);

  const int threads_;
  const int64_t capacity_;  // the budget, in 512 KiB shares
  int in_flight_ = 0;
  int64_t load_ = 0;        // shares of the blocks in flight
  EntryId next_id_ = 1;
  std::map<EntryId, Entry> entries_;

  std::mutex mutex_;
  std::condition_variable work_ready_;     // a job was queued, or stop
  std::condition_variable job_done_;       // a job finished
  std::deque<std::shared_ptr<Job>> jobs_;  // in submission order
  EntryId urgent_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_
