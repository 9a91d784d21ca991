// Reading ahead: while the writing thread writes one entry, the workers of
// the parallel compressor (engine/io/parallel_deflate.h) compress the first
// blocks of the entries that follow it. Most entries are smaller than one
// block, so this is where two cores gain on a folder of small files.
//
// What is read ahead is a guess. The file is opened, its first block read
// and the file closed again at once (it is never held open while the host
// is told anything: it may change, delete or lock the file when its entry
// starts). When the entry's turn comes its first block is read again as
// without workers, and the ahead result is used only when the bytes, their
// number and whether they are the whole file all match; otherwise it is
// dropped. A file that cannot be opened or read ahead is simply not read
// ahead: the entry's own read reports the failure. Reading ahead raises no
// event and writes nothing.
//
// The entries come from an AheadItems list, in the order they will be
// written, as plain data: the unit knows nothing of the directory.
#ifndef TESSALY_ENGINE_IO_ENTRY_LOOKAHEAD_H_
#define TESSALY_ENGINE_IO_ENTRY_LOOKAHEAD_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/io/parallel_deflate.h"
#include "platform/env.h"

namespace tessaly::engine {

// An entry that may be read ahead: deflate data of a plain file, neither
// encrypted nor taken from a stream.
struct AheadItem {
  std::string path;  // the source file, as the entry opens it
  uint8_t level = 0;
};

// The entries still to be written that may be read ahead.
class AheadItems {
 public:
  virtual ~AheadItems() = default;
  // The next one, each once, in the order of writing; false when there is
  // none (now).
  virtual bool Next(AheadItem& item) = 0;
};

// An entry's first block, read and submitted ahead (`entry` is open in the
// unit with this block in flight). `last`: the block was the whole file.
struct AheadBlock {
  ParallelDeflate::EntryId entry = 0;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  bool last = false;
};

class EntryLookahead {
 public:
  // Files are opened through `env` with `open_mode` (read, with the share
  // mode of the entries' own opens). Every argument must outlive the unit.
  EntryLookahead(ParallelDeflate& unit, platform::Env& env, uint16_t open_mode,
                 AheadItems& items);
  EntryLookahead(const EntryLookahead&) = delete;
  EntryLookahead& operator=(const EntryLookahead&) = delete;
  // Drops what was read ahead and not claimed.
  ~EntryLookahead();

  // Reads the first blocks of the next entries while the unit's budget of
  // blocks in flight has room.
  void Fill();

  // The block read ahead for `path` at `level`, if any. Entries read ahead
  // before it were passed over by the writing and are dropped; the ones
  // after it stay.
  std::optional<AheadBlock> Claim(const std::string& path, uint8_t level);

 private:
  struct Pending {
    AheadItem item;
    AheadBlock block;
  };

  // Reads and submits the first block of `item`; false when it is empty or
  // could not be read.
  bool ReadFirstBlock(const AheadItem& item);

  ParallelDeflate& unit_;
  platform::Env& env_;
  const uint16_t open_mode_;
  AheadItems& items_;
  std::deque<Pending> pending_;  // in the order of writing
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_ENTRY_LOOKAHEAD_H_
