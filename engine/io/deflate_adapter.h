// The deflate adapter: turns the bytes of one source into the data of one
// ZIP entry, block by block, and writes them to the entry's output stream.
//
// Method 8 data is raw deflate data (RFC 1951): the adapter drives zlib in
// its zlib format (RFC 1950) and cuts the 2-byte header off the first chunk
// and the 4-byte Adler-32 trailer off the last. Method 0 data is the source
// copied unchanged. With a password the data is preceded by the 12-byte
// encryption header and encrypted with the traditional cipher (APPNOTE 6.1).
#ifndef TESSALY_ENGINE_IO_DEFLATE_ADAPTER_H_
#define TESSALY_ENGINE_IO_DEFLATE_ADAPTER_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/format/zip_crypto.h"
#include "engine/io/entry_lookahead.h"
#include "platform/stream.h"

namespace tessaly::engine {

class ParallelDeflate;

// The parallel compressor as one entry uses it.
struct ParallelCompression {
  ParallelDeflate& unit;
  // Reads the first blocks of the entries that follow while the unit has
  // room; may be null.
  EntryLookahead* lookahead = nullptr;
  // The entry's first block as read ahead (EntryLookahead::Claim), if it
  // was. CompressEntry takes it over, uses it or drops it.
  std::optional<AheadBlock> first = std::nullopt;
};

// The counters of one entry, kept across its blocks. The caller sets them up
// (normally to the defaults below) and reads them after CompressEntry.
struct CompressCounters {
  // Source bytes consumed and written out (as data) so far.
  int64_t bytes_processed = 0;
  // Bytes written to the output so far, encryption header included.
  int64_t compressed_size = 0;
  // The running CRC-32 register of the source bytes; the entry's CRC-32 is
  // its complement.
  uint32_t crc = 0xFFFFFFFF;
};

// Progress and cancel, as the entry pipeline reports them to the host.
class CompressProgress {
 public:
  virtual ~CompressProgress() = default;

  // Called once, before the first block (also for an empty source), with
  // the number of bytes the entry will read.
  virtual void Start(int64_t bytes_total) { (void)bytes_total; }

  // Called before every block with the source bytes done so far (0 before
  // the first block, never bytes_total). The pipeline records both values
  // and raises its file and overall progress events here.
  virtual void BeforeBlock(int64_t bytes_done, int64_t bytes_total) = 0;

  // Whether the host asked to stop. Tested after every BeforeBlock.
  virtual bool Cancelled() const = 0;
};

// A CompressProgress that reports nothing and never cancels.
class NoCompressProgress final : public CompressProgress {
 public:
  void BeforeBlock(int64_t, int64_t) override {}
  bool Cancelled() const override { return false; }
};

// Source bytes read and compressed per block (and per progress report):
// levels 1-3 512 KiB, 0 and 4-6 1 MiB, 7-9 1.5 MiB.
int64_t DeflateBlockSize(uint8_t level);

// Size of the output buffer for a block of `n` input bytes: n + n/10 + 12,
// rounded up to a multiple of 256.
int64_t DeflateOutputBufferSize(int64_t n);

// Writes the data of one entry: `source_size` bytes read from `source`
// (from its current position, normally 0) go to `output` at its position.
//
// - `method` 8 compresses with deflate at `level` (0..9); any other method
//   stores the bytes unchanged (the pipeline passes 0). A deflate stream is
//   initialised and ended in both cases.
// - A non-empty `password` writes the encryption header first (which reads
//   the whole source once for its CRC and seeks the source back to 0; see
//   engine/format/zip_crypto.h) and encrypts every chunk. `random` supplies
//   the header's random bytes; when null a clock-seeded generator is used.
// - Before every block `progress` is told how far the entry has come; when
//   it reports Cancelled() the loop stops before reading that block.
// - A short read of the source or a short write to the output stops the
//   loop quietly; the failed block is not counted in bytes_processed and
//   compressed_size.
// Updates `counters` as blocks are written: bytes_processed and
// compressed_size grow, crc takes every source byte (from the header pass
// when encrypting). Returns normally also after an early stop: the caller
// compares bytes_processed with source_size.
// An empty source writes no data: nothing at all without a password, the
// 12-byte encryption header alone with one.
//
// - With `parallel`, deflate data is compressed on its workers while this
//   thread reads ahead and writes: for levels 0 and 4-9 block by block
//   (several of the entry's blocks at once), for levels 1-3 in order on
//   one stream. Every block is read again where the loop reads it without
//   workers, and that read counts: the bytes written, the counters, the
//   progress calls and the outcome of a short read, a changed source or a
//   short write are the same as without it. The source must be able to
//   seek. Stored data never uses the workers.
// Throws ECompressionError ("error", engine/io/compression_error.h) when
// zlib reports a failure (for example a level above 9), and
// platform::EWriteError when the output refuses a byte of the encryption
// header. The deflate stream and the buffers are released in every case.
void CompressEntry(platform::Stream& source, int64_t source_size,
                   platform::Stream& output, uint8_t level, uint16_t method,
                   std::string_view password, CompressCounters& counters,
                   CompressProgress& progress, HeaderRandom* random = nullptr,
                   ParallelCompression* parallel = nullptr);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_DEFLATE_ADAPTER_H_
