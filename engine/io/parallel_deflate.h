// The parallel compressor: compresses the blocks of entries on a small pool
// of worker threads and hands them back, in the order they were submitted,
// exactly as the serial deflate adapter would have written them.
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
// parallelism comes from several entries in flight.
//
// Thread rules: every public member is called from one thread (the one
// that owns the unit). Workers touch only their jobs. The destructor stops
// and joins the workers whatever state the unit is in.
#ifndef TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_
#define TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tessaly::engine {

// One compressed block as the serial stream writes it: raw deflate data
// (no zlib header or trailer), and the CRC-32 of its source bytes.
struct DeflatedBlock {
  std::vector<uint8_t> data;
  uint32_t crc = 0;         // CRC-32 of the source bytes (complemented form)
  int64_t source_size = 0;  // source bytes of the block
  bool last = false;        // the entry's last block
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
  // `threads` workers (at least 1), started at the first Submit. At most
  // `max_in_flight` blocks (at least 1; 0 means two per worker) are
  // submitted and not yet taken at any time.
  explicit ParallelDeflate(int threads, int max_in_flight = 0);
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;
  ~ParallelDeflate();

  // Starts a new entry compressed at `level`: the blocks submitted next
  // belong to it. Blocks of earlier entries may still be in flight.
  // `preceding` are the entry's bytes before the next block when the entry
  // is taken up in the middle (levels whose blocks are independent only).
  void BeginEntry(uint8_t level, std::span<const uint8_t> preceding = {});

  // Whether Submit must wait until a block has been taken.
  bool Full() const { return in_flight_ >= max_in_flight_; }
  // Blocks submitted and not yet taken.
  int InFlight() const { return in_flight_; }

  // Queues the next block of the current entry; `last` marks its final
  // block. The workers only read the block, so the caller may keep and
  // read it too. REQUIRES: BeginEntry ran, !Full(), the block is not empty.
  void Submit(std::shared_ptr<const std::vector<uint8_t>> block, bool last);

  // Waits for the oldest block in flight and returns it. Rethrows what its
  // compression threw (ECompressionError for a zlib failure, bad_alloc).
  // REQUIRES: InFlight() > 0.
  DeflatedBlock TakeNext();

  // Drops every block in flight: those not started are never compressed,
  // the running ones are waited for. The current entry ends; BeginEntry is
  // needed before the next Submit.
  void Discard();

 private:
  struct Job;
  struct Chain;

  void StartWorkers();
  void WorkerLoop();
  // The first queued job a worker may start; null when there is none.
  // REQUIRES: mutex_ held.
  std::shared_ptr<Job> RunnableJob();

  const int threads_;
  const int max_in_flight_;
  int in_flight_ = 0;

  // Submission state of the current entry.
  uint8_t level_ = 0;
  bool entry_open_ = false;
  bool first_block_ = true;
  std::vector<uint8_t> window_;   // the last 32 KiB submitted
  std::shared_ptr<Chain> chain_;  // levels run in order on one stream

  std::mutex mutex_;
  std::condition_variable work_ready_;     // a job was queued, or stop
  std::condition_variable job_done_;       // a job finished
  std::deque<std::shared_ptr<Job>> jobs_;  // in submission order
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_PARALLEL_DEFLATE_H_
