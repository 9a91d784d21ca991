#include "engine/io/parallel_deflate.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <zlib.h>

#include "engine/io/compression_error.h"
#include "engine/io/deflate_block.h"

namespace tessaly::engine {
namespace {

// The preset dictionary of a block: the last 32 KiB of its entry before it,
// the whole window of deflate.
constexpr size_t kWindowSize = 32 * 1024;

// The budget of blocks in flight is counted in shares of this size; the
// largest block (levels 7-9) takes three.
constexpr int64_t kShare = 512 * 1024;
constexpr int64_t kSharesOfLargestBlock = 3;

int64_t SharesOf(size_t block_size) {
  return std::max<int64_t>(
      1, (static_cast<int64_t>(block_size) + kShare - 1) / kShare);
}

}  // namespace

uint32_t AppendBlockCrc(uint32_t crc_register, uint32_t block_crc,
                        int64_t block_size) {
  return ~static_cast<uint32_t>(crc32_combine(
      ~crc_register, block_crc, static_cast<z_off_t>(block_size)));
}

bool DeflateBlocksIndependent(uint8_t level) {
  return level == 0 || level >= 4;
}

// The one deflate stream of an entry whose blocks run in order.
struct ParallelDeflate::Chain {
  explicit Chain(uint8_t level) : level(level) {}
  const uint8_t level;
  std::unique_ptr<DeflateStream> stream;  // opened by the first block
  int64_t submitted = 0;     // blocks submitted so far (owner thread)
  int64_t next_index = 0;    // the block that may run next (under the mutex)
  std::exception_ptr error;  // set by the block that failed; later fail too
};

struct ParallelDeflate::Job {
  enum class State { kQueued, kRunning, kDone };
  State state = State::kQueued;
  EntryId entry = 0;
  int64_t shares = 0;
  uint8_t level = 0;
  bool first = false;
  bool last = false;
  std::vector<uint8_t> dictionary;  // independent blocks only
  std::shared_ptr<const std::vector<uint8_t>> input;
  std::shared_ptr<Chain> chain;  // blocks run in order only
  int64_t chain_index = 0;
  DeflatedBlock result;
  std::exception_ptr error;
};

namespace {

// Compresses a block on a fresh raw stream primed with its dictionary.
DeflateChunk CompressIndependent(uint8_t level,
                                 const std::vector<uint8_t>& dictionary,
                                 const std::vector<uint8_t>& input, bool last) {
  DeflateStream stream(level, DeflateFraming::kRaw);
  stream.SetDictionary(dictionary);
  DeflateChunk chunk = DeflateBlock(stream.get(), input.data(),
                                    static_cast<int64_t>(input.size()), last);
  // A stream ended after a sync flush is in the middle of its data and
  // reports so; only a finished one must end cleanly.
  const int end_result = stream.End();
  if (last) CheckCompressionResult(end_result);
  return chunk;
}

}  // namespace

int CompressionThreadCount(int32_t setting) {
  if (setting >= 1) return setting;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

ParallelDeflate::ParallelDeflate(int threads, int max_in_flight)
    : threads_(std::max(1, threads)),
      capacity_((max_in_flight > 0 ? max_in_flight : 2 * threads_) *
                kSharesOfLargestBlock) {}

ParallelDeflate::~ParallelDeflate() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

ParallelDeflate::EntryId ParallelDeflate::OpenEntry(
    uint8_t level, std::span<const uint8_t> preceding) {
  const EntryId id = next_id_++;
  Entry& entry = entries_[id];
  entry.level = level;
  entry.first_block = preceding.empty();
  const size_t kept = std::min(preceding.size(), kWindowSize);
  entry.window.assign(preceding.end() - kept, preceding.end());
  if (!DeflateBlocksIndependent(level)) {
    entry.chain = std::make_shared<Chain>(level);
  }
  return id;
}

int ParallelDeflate::InFlight(EntryId id) const {
  const auto found = entries_.find(id);
  return found == entries_.end() ? 0 : found->second.in_flight;
}

void ParallelDeflate::Submit(EntryId id,
                             std::shared_ptr<const std::vector<uint8_t>> input,
                             bool last) {
  const std::vector<uint8_t>& block = *input;
  Entry& entry = entries_.at(id);
  if (workers_.empty()) StartWorkers();

  auto job = std::make_shared<Job>();
  job->entry = id;
  job->shares = SharesOf(block.size());
  job->level = entry.level;
  job->first = entry.first_block;
  job->last = last;
  if (entry.chain) {
    job->chain = entry.chain;
    job->chain_index = entry.chain->submitted++;
  } else {
    job->dictionary = entry.window;
    if (!last) {
      std::vector<uint8_t>& window = entry.window;
      if (block.size() >= kWindowSize) {
        window.assign(block.end() - kWindowSize, block.end());
      } else {
        window.insert(window.end(), block.begin(), block.end());
        if (window.size() > kWindowSize) {
          window.erase(window.begin(), window.end() - kWindowSize);
        }
      }
    }
  }
  job->input = std::move(input);
  const int64_t shares = job->shares;
  entry.first_block = false;
  if (last) {
    entry.closed = true;
    entry.window = {};
  }

  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  ++entry.in_flight;
  ++in_flight_;
  entry.load += shares;
  load_ += shares;
  work_ready_.notify_one();
}

void ParallelDeflate::SetUrgent(EntryId id) {
  std::lock_guard lock(mutex_);
  urgent_ = id;
}

DeflatedBlock ParallelDeflate::Take(EntryId id) {
  Entry& entry = entries_.at(id);
  std::shared_ptr<Job> job;
  {
    std::unique_lock lock(mutex_);
    const auto oldest = [&] {
      return std::find_if(jobs_.begin(), jobs_.end(),
                          [&](const std::shared_ptr<Job>& j) {
                            return j->entry == id;
                          });
    };
    job_done_.wait(lock,
                   [&] { return (*oldest())->state == Job::State::kDone; });
    const auto at = oldest();
    job = std::move(*at);
    jobs_.erase(at);
  }
  --entry.in_flight;
  --in_flight_;
  entry.load -= job->shares;
  load_ -= job->shares;
  // An entry whose blocks are all back needs nothing more from the unit.
  if (entry.closed && entry.in_flight == 0) entries_.erase(id);
  if (job->error) std::rethrow_exception(job->error);
  return std::move(job->result);
}

void ParallelDeflate::Discard(EntryId id) {
  const auto found = entries_.find(id);
  if (found == entries_.end()) return;
  if (found->second.in_flight > 0) {
    std::unique_lock lock(mutex_);
    const auto own = [id](const std::shared_ptr<Job>& job) {
      return job->entry == id;
    };
    std::erase_if(jobs_, [&](const std::shared_ptr<Job>& job) {
      return own(job) && job->state == Job::State::kQueued;
    });
    job_done_.wait(lock, [&] {
      return std::none_of(jobs_.begin(), jobs_.end(),
                          [&](const std::shared_ptr<Job>& job) {
                            return own(job) &&
                                   job->state != Job::State::kDone;
                          });
    });
    std::erase_if(jobs_, own);
    if (urgent_ == id) urgent_ = 0;
  }
  in_flight_ -= found->second.in_flight;
  load_ -= found->second.load;
  entries_.erase(found);
}

void ParallelDeflate::StartWorkers() {
  workers_.reserve(static_cast<size_t>(threads_));
  for (int i = 0; i < threads_; ++i) {
    workers_.emplace_back([this] { WorkerLoop(); });
  }
}

bool ParallelDeflate::MayStart(const Job& job) {
  return job.state == Job::State::kQueued &&
         (!job.chain || job.chain->next_index == job.chain_index);
}

std::shared_ptr<ParallelDeflate::Job> ParallelDeflate::RunnableJob() {
  std::shared_ptr<Job> first;
  for (const std::shared_ptr<Job>& job : jobs_) {
    if (!MayStart(*job)) continue;
    if (job->entry == urgent_) return job;
    if (!first) first = job;
  }
  return first;
}

void ParallelDeflate::WorkerLoop() {
  std::unique_lock lock(mutex_);
  while (true) {
    // The worker's own reference keeps the job alive should Discard drop
    // it from the queue while it runs.
    std::shared_ptr<Job> job;
    work_ready_.wait(
        lock, [&] { return stopping_ || (job = RunnableJob()) != nullptr; });
    if (stopping_) return;
    job->state = Job::State::kRunning;
    lock.unlock();

    try {
      job->result.source_size = static_cast<int64_t>(job->input->size());
      job->result.last = job->last;
      job->result.crc = static_cast<uint32_t>(
          crc32_z(0, job->input->data(), job->input->size()));
      DeflateChunk chunk;
      if (job->chain) {
        Chain& chain = *job->chain;
        if (chain.error) std::rethrow_exception(chain.error);
        try {
          if (!chain.stream) {
            chain.stream = std::make_unique<DeflateStream>(
                chain.level, DeflateFraming::kZlib);
          }
          chunk =
              DeflateBlock(chain.stream->get(), job->input->data(),
                           static_cast<int64_t>(job->input->size()), job->last);
          if (job->first) {
            chunk.offset = kZlibHeaderSize;
            chunk.length -= kZlibHeaderSize;
          }
          if (job->last) {
            chunk.length -= kAdlerTrailerSize;
            CheckCompressionResult(chain.stream->End());
          }
        } catch (...) {
          chain.error = std::current_exception();
          throw;
        }
      } else {
        chunk = CompressIndependent(job->level, job->dictionary, *job->input,
                                    job->last);
      }
      job->result.chunk = std::move(chunk);
      job->input.reset();
      job->dictionary = {};
    } catch (...) {
      job->error = std::current_exception();
    }

    lock.lock();
    job->state = Job::State::kDone;
    if (job->chain) {
      ++job->chain->next_index;
      work_ready_.notify_all();
    }
    job_done_.notify_all();
  }
}

}  // namespace tessaly::engine
