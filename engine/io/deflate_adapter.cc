// One zlib deflate stream per entry, fed one block at a time (see
// engine/io/deflate_block.h). zlib is driven in its zlib format, so the
// first chunk starts with the 2-byte zlib header and the last ends with the
// 4-byte Adler-32 trailer (RFC 1950); both are cut off, leaving raw deflate
// data (RFC 1951) as APPNOTE 4.4.5 method 8 wants.
#include "engine/io/deflate_adapter.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/format/crc32.h"
#include "engine/io/compression_error.h"
#include "engine/io/deflate_block.h"
#include "engine/io/parallel_deflate.h"

namespace tessaly::engine {

int64_t DeflateBlockSize(uint8_t level) {
  if (level >= 1 && level <= 3) return 512 * 1024;
  if (level >= 7) return 1536 * 1024;
  return 1024 * 1024;
}

int64_t DeflateOutputBufferSize(int64_t n) {
  const int64_t size = n + n / 10 + 12;
  return (size + 255) / 256 * 256;
}

namespace {

// Produces the output of an entry's blocks one after the other: reads the
// block's source bytes, feeds them to the CRC register and returns the
// bytes to write (for deflate data without the zlib header and trailer).
class BlockProducer {
 public:
  virtual ~BlockProducer() = default;

  // The next block: `n` source bytes, the entry's last when `last`. Returns
  // false when the source delivers fewer than `n` bytes. Otherwise `out`
  // holds the bytes to write, writable in place and valid until the next
  // call; `crc_register` has taken the source bytes when `update_crc`.
  virtual bool Produce(int64_t n, bool last, bool update_crc,
                       uint32_t& crc_register, std::span<uint8_t>& out) = 0;
};

// Reads and compresses each block on the calling thread, on the entry's one
// deflate stream; stored data is passed through.
class SerialBlocks final : public BlockProducer {
 public:
  SerialBlocks(platform::Stream& source, int64_t buffer_size, z_stream& stream,
               bool deflating)
      : source_(source),
        input_(std::make_unique_for_overwrite<uint8_t[]>(
            static_cast<size_t>(buffer_size))),
        stream_(stream),
        deflating_(deflating) {}

  bool Produce(int64_t n, bool last, bool update_crc, uint32_t& crc_register,
               std::span<uint8_t>& out) override {
    if (source_.Read(input_.get(), n) != n) return false;
    if (update_crc) crc_register = UpdateCrc(crc_register, input_.get(), n);
    if (!deflating_) {
      out = {input_.get(), static_cast<size_t>(n)};
      return true;
    }
    chunk_ = DeflateBlock(stream_, input_.get(), n, last, &chunk_);
    if (first_) {
      chunk_.offset = kZlibHeaderSize;
      chunk_.length -= kZlibHeaderSize;
      first_ = false;
    }
    // Nothing follows the trailer, so dropping it before encryption leaves
    // every written byte as it would be had it been encrypted along.
    if (last) chunk_.length -= kAdlerTrailerSize;
    out = {chunk_.data + chunk_.offset, static_cast<size_t>(chunk_.length)};
    return true;
  }

 private:
  platform::Stream& source_;
  std::unique_ptr<uint8_t[]> input_;
  z_stream& stream_;
  const bool deflating_;
  bool first_ = true;
  DeflateChunk chunk_;
};

// Has the parallel compressor's workers deflate the entry's blocks. Blocks
// read ahead are a guess: each block is read again where the serial loop
// reads it (after its progress call), and that read is the one that counts.
// While it matches the guess the workers' output is used; a short read
// stops the entry as it would serially; different bytes (a source changed
// meanwhile) drop everything read ahead and take the entry up again from
// the bytes just read. So a source that changes or shrinks while it is read
// gives what the serial loop gives.
//
// Levels 0 and 4-9 read ahead as many of the entry's blocks as the unit has
// room for. Levels 1-3 run on one stream whose state no block can be taken
// back from, so beyond a first block read ahead for the entry (which starts
// the stream either way) each block is submitted only once it is read.
// While the workers are busy, the lookahead reads the first blocks of the
// entries that follow, once this entry has nothing more to read ahead.
class ParallelBlocks final : public BlockProducer {
 public:
  ParallelBlocks(platform::Stream& source, int64_t source_size,
                 int64_t block_size, uint8_t level,
                 ParallelCompression& parallel)
      : source_(source),
        source_size_(source_size),
        block_size_(block_size),
        level_(level),
        independent_(DeflateBlocksIndependent(level)),
        unit_(parallel.unit),
        lookahead_(parallel.lookahead),
        start_(source.Position()) {
    if (parallel.first) {
      entry_ = parallel.first->entry;
      read_ = static_cast<int64_t>(parallel.first->bytes->size());
      ahead_.push_back({std::move(parallel.first->bytes), parallel.first->last});
      parallel.first.reset();
    } else {
      entry_ = unit_.OpenEntry(level_);
    }
    unit_.SetUrgent(entry_);
  }
  ~ParallelBlocks() override { unit_.Discard(entry_); }

  bool Produce(int64_t n, bool last, bool update_crc, uint32_t& crc_register,
               std::span<uint8_t>& out) override {
    block_ = {};  // written by now
    std::shared_ptr<const std::vector<uint8_t>> block;
    if (!ahead_.empty() && ahead_.front().last == last &&
        static_cast<int64_t>(ahead_.front().bytes->size()) == n) {
      const Match match = Compare(*ahead_.front().bytes);
      if (match == Match::kShort) return false;
      if (match == Match::kSame) block = ahead_.front().bytes;
    }
    if (block == nullptr) {
      auto read = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(n));
      if (!ReadAt(done_, *read)) return false;
      block = std::move(read);
      if (!ahead_.empty()) {
        // A wrong guess: what the entry has produced so far stands.
        unit_.Discard(entry_);
        ahead_.clear();
        entry_ = unit_.OpenEntry(level_, window_);
        unit_.SetUrgent(entry_);
      }
      unit_.Submit(entry_, block, last);
      ahead_.push_back({block, last});
      read_ = done_ + n;
      short_ahead_ = false;
    }
    if (!last && independent_) {
      const size_t kept = std::min(block->size(), kWindow);
      window_.insert(window_.end(), block->end() - kept, block->end());
      if (window_.size() > kWindow) {
        window_.erase(window_.begin(), window_.end() - kWindow);
      }
    }
    // The bytes are no longer needed here: the worker frees them when done.
    block.reset();
    ahead_.pop_front();
    ReadAhead();
    FillLookahead();
    block_ = unit_.Take(entry_);
    FillLookahead();

    done_ += n;
    if (update_crc) {
      crc_register =
          AppendBlockCrc(crc_register, block_.crc, block_.source_size);
    }
    out = block_.data();
    return true;
  }

 private:
  static constexpr size_t kWindow = 32 * 1024;
  static constexpr size_t kComparePiece = 64 * 1024;

  struct Guess {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    bool last = false;
  };

  enum class Match { kSame, kDifferent, kShort };

  // Reads the entry's next guess.size() bytes and compares them with the
  // guess, a piece at a time (so no second block is held for it).
  Match Compare(const std::vector<uint8_t>& guess) {
    if (source_.Seek(start_ + done_) != start_ + done_) return Match::kShort;
    if (piece_.empty()) piece_.resize(kComparePiece);
    for (size_t at = 0; at < guess.size(); at += kComparePiece) {
      const size_t n = std::min(kComparePiece, guess.size() - at);
      const auto wanted = static_cast<int64_t>(n);
      if (source_.Read(piece_.data(), wanted) != wanted) return Match::kShort;
      if (!std::equal(piece_.begin(), piece_.begin() + wanted,
                      guess.begin() + static_cast<ptrdiff_t>(at))) {
        return Match::kDifferent;
      }
    }
    return Match::kSame;
  }

  // Reads block.size() bytes at `offset` of the entry's data.
  bool ReadAt(int64_t offset, std::vector<uint8_t>& block) {
    const auto n = static_cast<int64_t>(block.size());
    return source_.Seek(start_ + offset) == start_ + offset &&
           source_.Read(block.data(), n) == n;
  }

  // Reads the entry's next blocks and submits them while the budget has
  // room, and in any case until every worker can work on this entry.
  void ReadAhead() {
    if (!independent_) return;
    while (!short_ahead_ && read_ < source_size_ &&
           (!unit_.Full() || unit_.InFlight(entry_) < unit_.threads())) {
      const int64_t n = std::min(block_size_, source_size_ - read_);
      auto block =
          std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(n));
      if (!ReadAt(read_, *block)) {
        short_ahead_ = true;
        return;
      }
      read_ += n;
      const bool last = read_ == source_size_;
      unit_.Submit(entry_, block, last);
      ahead_.push_back({std::move(block), last});
    }
  }

  // The entries that follow are read ahead only once this one is.
  void FillLookahead() {
    const bool all_read = !independent_ || short_ahead_ || read_ >= source_size_;
    if (lookahead_ != nullptr && all_read) lookahead_->Fill();
  }

  platform::Stream& source_;
  const int64_t source_size_;
  const int64_t block_size_;
  const uint8_t level_;
  const bool independent_;
  ParallelDeflate& unit_;
  EntryLookahead* const lookahead_;
  const int64_t start_;  // where the entry's data begin in the source
  ParallelDeflate::EntryId entry_ = 0;
  int64_t done_ = 0;  // source bytes produced
  int64_t read_ = 0;  // source bytes read ahead (from 0)
  bool short_ahead_ = false;
  std::deque<Guess> ahead_;      // submitted, in order
  std::vector<uint8_t> window_;  // the last 32 KiB produced
  std::vector<uint8_t> piece_;   // compared with a guess
  DeflatedBlock block_;
};

}  // namespace

void CompressEntry(platform::Stream& source, int64_t source_size,
                   platform::Stream& output, uint8_t level, uint16_t method,
                   std::string_view password, CompressCounters& counters,
                   CompressProgress& progress, HeaderRandom* random,
                   ParallelCompression* parallel) {
  const int64_t block_size = DeflateBlockSize(level);
  const int64_t buffer_size =
      std::max<int64_t>(0, std::min(block_size, source_size));

  DeflateStream deflater(level, DeflateFraming::kZlib);
  const bool deflating = method == 8;
  const bool encrypting = !password.empty();

  ZipKeys keys;
  if (encrypting) {
    std::optional<HeaderRandom> own_random;
    if (random == nullptr) random = &own_random.emplace();
    counters.crc = WriteEncryptionHeader(source, source_size, block_size,
                                         output, password, keys, *random);
    counters.bytes_processed = 0;
    counters.compressed_size += kEncryptionHeaderSize;
  }

  std::optional<SerialBlocks> serial;
  std::optional<ParallelBlocks> ahead;
  BlockProducer* blocks;
  if (parallel != nullptr && deflating) {
    blocks = &ahead.emplace(source, source_size, block_size, level, *parallel);
  } else {
    blocks = &serial.emplace(source, buffer_size, deflater.get(), deflating);
  }
  // A block read ahead for an entry that does not use it.
  if (parallel != nullptr && parallel->first) {
    parallel->unit.Discard(parallel->first->entry);
    parallel->first.reset();
  }

  progress.Start(source_size);
  bool stopped_early = false;
  while (counters.bytes_processed < source_size) {
    progress.BeforeBlock(counters.bytes_processed, source_size);
    if (progress.Cancelled()) {
      stopped_early = true;
      break;
    }
    const int64_t n =
        std::min(block_size, source_size - counters.bytes_processed);
    const bool last_block = counters.bytes_processed + n == source_size;
    std::span<uint8_t> chunk;
    if (!blocks->Produce(n, last_block, !encrypting, counters.crc, chunk)) {
      stopped_early = true;
      break;
    }
    if (encrypting) EncryptBuffer(keys, chunk.data(), 0, chunk.size());

    const auto length = static_cast<int64_t>(chunk.size());
    if (output.Write(chunk.data(), length) != length) {
      stopped_early = true;
      break;
    }
    counters.bytes_processed += n;
    counters.compressed_size += length;
  }

  // A stream left in the middle of its data reports an error when ended;
  // that is expected after an early stop, which the caller detects from the
  // byte count.
  const int end_result = deflater.End();
  if (!stopped_early) CheckCompressionResult(end_result);
}

}  // namespace tessaly::engine
