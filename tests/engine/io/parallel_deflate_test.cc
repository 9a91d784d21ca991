#include "engine/io/parallel_deflate.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/io/compression_error.h"
#include "engine/io/deflate_adapter.h"
#include "platform/memory_stream.h"

namespace tessaly::engine {
// Named, so that the helpers stay apart from other files built with this one.
namespace parallel_deflate_test {
namespace {

using Bytes = std::vector<uint8_t>;

// What the serial deflate adapter writes for `data`, and its CRC register.
struct Compressed {
  Bytes data;
  uint32_t crc_register = 0xFFFFFFFF;
};

Compressed Serial(const Bytes& data, uint8_t level) {
  platform::MemoryStream source{std::span<const uint8_t>(data)};
  platform::MemoryStream output;
  CompressCounters counters;
  NoCompressProgress progress;
  CompressEntry(source, static_cast<int64_t>(data.size()), output, level, 8, "",
                counters, progress);
  return {Bytes(output.bytes().begin(), output.bytes().end()), counters.crc};
}

// Cuts `data` into the adapter's blocks for `level` and submits them to
// `unit` as one entry; whenever the unit is full, the oldest entry in
// `open` gives back a block, which goes to `taken[entry]`. Returns the
// entry.
using Taken = std::map<ParallelDeflate::EntryId, std::vector<DeflatedBlock>>;
ParallelDeflate::EntryId SubmitEntry(
    ParallelDeflate& unit, const Bytes& data, uint8_t level, Taken& taken,
    std::deque<ParallelDeflate::EntryId>& open) {
  const ParallelDeflate::EntryId entry = unit.OpenEntry(level);
  open.push_back(entry);
  const size_t block = static_cast<size_t>(DeflateBlockSize(level));
  for (size_t at = 0; at < data.size(); at += block) {
    while (unit.Full()) {
      while (unit.InFlight(open.front()) == 0) open.pop_front();
      taken[open.front()].push_back(unit.Take(open.front()));
    }
    const size_t n = std::min(block, data.size() - at);
    unit.Submit(
        entry,
        std::make_shared<Bytes>(data.begin() + at, data.begin() + at + n),
        at + n == data.size());
  }
  return entry;
}

// Takes every block still in flight of the entries in `open`.
void TakeAll(ParallelDeflate& unit, Taken& taken,
             std::deque<ParallelDeflate::EntryId>& open) {
  for (const ParallelDeflate::EntryId entry : open) {
    while (unit.InFlight(entry) > 0) taken[entry].push_back(unit.Take(entry));
  }
  open.clear();
}

// Joins the blocks of one entry as the entry writer does.
Compressed Join(const std::vector<DeflatedBlock>& blocks) {
  Compressed out;
  for (const DeflatedBlock& b : blocks) {
    out.data.insert(out.data.end(), b.data().begin(), b.data().end());
    out.crc_register = AppendBlockCrc(out.crc_register, b.crc, b.source_size);
  }
  return out;
}

// What the adapter writes for `data` with the parallel unit.
Compressed Parallel(const Bytes& data, uint8_t level, int threads) {
  ParallelDeflate unit(threads);
  platform::MemoryStream source{std::span<const uint8_t>(data)};
  platform::MemoryStream output;
  CompressCounters counters;
  NoCompressProgress progress;
  ParallelCompression parallel{unit};
  CompressEntry(source, static_cast<int64_t>(data.size()), output, level, 8, "",
                counters, progress, nullptr, &parallel);
  EXPECT_EQ(unit.InFlight(), 0);
  return {Bytes(output.bytes().begin(), output.bytes().end()), counters.crc};
}

uint32_t NextRandom(uint32_t& x) {
  x = x * 1103515245 + 12345;
  return x >> 8;
}

// Comma-separated records with repeating fields.
Bytes Records(size_t n) {
  Bytes out;
  uint32_t x = 7;
  for (int i = 0; out.size() < n; ++i) {
    const std::string row = std::to_string(100000 + i) + ",customer-" +
                            std::to_string(NextRandom(x) % 500) + "," +
                            std::to_string(NextRandom(x) % 100000) + ";\n";
    out.insert(out.end(), row.begin(), row.end());
  }
  out.resize(n);
  return out;
}

// Words of 1-9 letters from a vocabulary of a thousand: matches of every
// length and distance.
Bytes Text(size_t n) {
  std::vector<std::string> words(1000);
  uint32_t x = 11;
  for (std::string& w : words) {
    const size_t length = 1 + NextRandom(x) % 9;
    while (w.size() < length)
      w.push_back(static_cast<char>('a' + NextRandom(x) % 26));
    w.push_back(NextRandom(x) % 12 ? ' ' : '\n');
  }
  Bytes out;
  while (out.size() < n) {
    const std::string& w = words[NextRandom(x) % words.size()];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}

// Mostly noise with rare short repeats.
Bytes NearRandom(size_t n) {
  Bytes out(n);
  uint32_t x = 3;
  for (size_t i = 0; i < n; ++i) {
    out[i] = i > 64 && NextRandom(x) % 16 == 0
                 ? out[i - 61]
                 : static_cast<uint8_t>(NextRandom(x));
  }
  return out;
}

// An 8-bit image: gradients with a little noise, rows 1000 bytes wide.
Bytes Image(size_t n) {
  Bytes out(n);
  uint32_t x = 5;
  for (size_t i = 0; i < n; ++i) {
    const size_t col = i % 1000, row = i / 1000;
    out[i] = static_cast<uint8_t>((col * 3 + row) / 7 + NextRandom(x) % 3);
  }
  return out;
}

// The first `n` bytes of a sample made once by `make` (the samples are
// generated at their largest size once: the test code is not optimised).
Bytes Prefix(Bytes (*make)(size_t), size_t n) {
  constexpr size_t kLargest = 3 * 1536 * 1024;
  static std::vector<std::pair<Bytes (*)(size_t), Bytes>> made;
  for (const auto& [maker, bytes] : made) {
    if (maker == make) return Bytes(bytes.begin(), bytes.begin() + n);
  }
  made.emplace_back(make, make(kLargest));
  return Prefix(make, n);
}

// Every level, several data kinds and sizes around the block size: with
// the parallel unit the adapter writes the serial bytes and CRC. The thread
// count changes only who compresses which block, so the input of many blocks is
// run at 1, 2 and 4 threads and the others at 2.
TEST(ParallelDeflateTest, WritesTheSerialBytesAtEveryLevelAndThreadCount) {
  for (int level = 0; level <= 9; ++level) {
    const auto lv = static_cast<uint8_t>(level);
    const size_t block = static_cast<size_t>(DeflateBlockSize(lv));
    const std::vector<std::pair<std::string, Bytes>> inputs = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"less than a block", Prefix(Text, block / 3)},
        {"exactly one block", Prefix(Image, block)},
        {"one block and a byte", Prefix(Records, block + 1)},
        {"a byte short of two blocks", Prefix(NearRandom, 2 * block - 1)},
        {"many blocks", Prefix(Text, 2 * block + 777)},
    };
    for (const auto& [name, data] : inputs) {
      const Compressed serial = Serial(data, lv);
      const bool many = data.size() > 2 * block;
      for (int threads : many ? std::vector{1, 2, 4} : std::vector{2}) {
        SCOPED_TRACE(name + ", level " + std::to_string(level) + ", " +
                     std::to_string(threads) + " threads");
        const Compressed parallel = Parallel(data, lv, threads);
        ASSERT_EQ(parallel.crc_register, serial.crc_register);
        ASSERT_EQ(parallel.data.size(), serial.data.size());
        ASSERT_TRUE(parallel.data == serial.data);
      }
    }
  }
}

// Entries of different levels back to back in one unit, with few blocks in
// flight: the results come back in submission order, each entry's bytes as
// the serial adapter writes them, the in-order levels included.
TEST(ParallelDeflateTest, KeepsEntriesApartWhenSeveralAreInFlight) {
  struct Entry {
    uint8_t level;
    Bytes data;
  };
  const std::vector<Entry> entries = {
      {1, Prefix(Text, 1300000)},  {9, Prefix(Records, 900000)},
      {2, Prefix(Image, 1100000)}, {6, {0x00}},
      {3, Prefix(Records, 40000)}, {5, Prefix(NearRandom, 2200000)},
      {1, Prefix(Image, 600000)}};
  for (int max_in_flight : {1, 3, 8}) {
    ParallelDeflate unit(2, max_in_flight);
    Taken taken;
    std::deque<ParallelDeflate::EntryId> open;
    std::vector<ParallelDeflate::EntryId> ids;
    for (const Entry& e : entries) {
      ids.push_back(SubmitEntry(unit, e.data, e.level, taken, open));
    }
    TakeAll(unit, taken, open);
    EXPECT_EQ(unit.InFlight(), 0);

    for (size_t k = 0; k < entries.size(); ++k) {
      const Entry& e = entries[k];
      const std::vector<DeflatedBlock>& own = taken[ids[k]];
      ASSERT_FALSE(own.empty());
      EXPECT_TRUE(own.back().last);
      const Compressed serial = Serial(e.data, e.level);
      EXPECT_TRUE(Join(own).data == serial.data)
          << "level " << int{e.level} << ", " << max_in_flight << " in flight";
      EXPECT_EQ(Join(own).crc_register, serial.crc_register);
    }
  }
}

// A zlib failure comes back from Take as ECompressionError, for the
// failing block and every later block of an in-order entry; after Discard
// the unit compresses the next entry as if nothing had happened.
TEST(ParallelDeflateTest, ReportsFailuresAndRecoversAfterDiscard) {
  ParallelDeflate unit(2);
  const ParallelDeflate::EntryId refused = unit.OpenEntry(10);  // zlib refuses
  unit.Submit(refused, std::make_shared<Bytes>(Prefix(Text, 1000)), false);
  unit.Submit(refused, std::make_shared<Bytes>(Prefix(Text, 1000)), true);
  EXPECT_THROW(unit.Take(refused), ECompressionError);
  EXPECT_THROW(unit.Take(refused), ECompressionError);
  EXPECT_EQ(unit.InFlight(), 0);

  const Bytes data = Prefix(Records, 3 * 512 * 1024);
  Taken taken;
  std::deque<ParallelDeflate::EntryId> open;
  // Stops while blocks are in flight.
  const ParallelDeflate::EntryId dropped =
      SubmitEntry(unit, data, 2, taken, open);
  unit.Discard(dropped);
  EXPECT_EQ(unit.InFlight(), 0);
  open.clear();
  const ParallelDeflate::EntryId kept = SubmitEntry(unit, data, 2, taken, open);
  TakeAll(unit, taken, open);
  EXPECT_TRUE(Join(taken[kept]).data == Serial(data, 2).data);
}

// Destroying the unit with blocks queued, running and done stops and joins
// its workers without compressing the rest.
TEST(ParallelDeflateTest, DestructorJoinsWithBlocksInFlight) {
  const Bytes data = Prefix(Text, 8 * 500000);
  for (uint8_t level : {1, 9}) {
    ParallelDeflate unit(2, 8);
    const ParallelDeflate::EntryId entry = unit.OpenEntry(level);
    for (int i = 0; i < 8; ++i) {
      unit.Submit(entry,
                  std::make_shared<Bytes>(data.begin() + i * 500000,
                                          data.begin() + (i + 1) * 500000),
                  i == 7);
    }
  }
}

// Entries open side by side: taking or dropping the blocks of one, in any
// order, leaves the others' blocks as they were; an urgent entry is served
// and the budget is shared.
TEST(ParallelDeflateTest, EntriesAreTakenAndDroppedOneByOne) {
  ParallelDeflate unit(2, 2);  // three 1 MiB blocks or six small ones
  const Bytes text = Prefix(Text, 2 * DeflateBlockSize(6));
  const Bytes image = Prefix(Image, 500000);  // one block of level 1
  const ParallelDeflate::EntryId a = unit.OpenEntry(6);
  const ParallelDeflate::EntryId b = unit.OpenEntry(1);
  const ParallelDeflate::EntryId c = unit.OpenEntry(9);
  const size_t half = text.size() / 2;
  unit.Submit(a, std::make_shared<Bytes>(text.begin(), text.begin() + half),
              false);
  unit.Submit(b, std::make_shared<Bytes>(image), true);
  unit.Submit(c, std::make_shared<Bytes>(Prefix(Records, 5000)), true);
  EXPECT_FALSE(unit.Full());
  unit.SetUrgent(a);
  unit.Submit(a, std::make_shared<Bytes>(text.begin() + half, text.end()),
              true);
  EXPECT_TRUE(unit.Full());
  EXPECT_EQ(unit.InFlight(a), 2);

  std::vector<DeflatedBlock> from_b;
  from_b.push_back(unit.Take(b));  // the newer entry first
  unit.Discard(c);
  EXPECT_EQ(unit.InFlight(), 2);
  EXPECT_FALSE(unit.Full());
  unit.Discard(c);  // no longer open: nothing happens
  std::vector<DeflatedBlock> from_a;
  from_a.push_back(unit.Take(a));
  from_a.push_back(unit.Take(a));
  EXPECT_EQ(unit.InFlight(), 0);

  const Compressed serial_a = Serial(text, 6);
  EXPECT_TRUE(Join(from_a).data == serial_a.data);
  EXPECT_EQ(Join(from_a).crc_register, serial_a.crc_register);
  EXPECT_TRUE(Join(from_b).data == Serial(image, 1).data);
  EXPECT_TRUE(from_b[0].last);
}

// Records the progress calls and cancels at a chosen call.
class RecordingProgress final : public CompressProgress {
 public:
  explicit RecordingProgress(int cancel_at_call) : cancel_at_(cancel_at_call) {}
  void Start(int64_t total) override { calls.push_back(-1 - total); }
  void BeforeBlock(int64_t done, int64_t) override {
    if (on_call) on_call(static_cast<int>(calls.size()));
    calls.push_back(done);
    if (static_cast<int>(calls.size()) - 1 == cancel_at_) cancelled_ = true;
  }
  bool Cancelled() const override { return cancelled_; }
  std::vector<int64_t> calls;
  std::function<void(int)>
      on_call;  // with the number of the block call, from 1

 private:
  int cancel_at_;
  bool cancelled_ = false;
};

// An output that refuses every byte beyond `capacity`.
class FullDisk final : public platform::Stream {
 public:
  explicit FullDisk(int64_t capacity) : capacity_(capacity) {}
  int64_t Read(void* buffer, int64_t count) override {
    return inner_.Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override {
    if (inner_.Position() + count > capacity_) return 0;
    return inner_.Write(buffer, count);
  }
  int64_t Seek(int64_t position) override { return inner_.Seek(position); }
  int64_t Position() const override { return inner_.Position(); }
  int64_t Size() const override { return inner_.Size(); }
  bool SetSize(int64_t size) override { return inner_.SetSize(size); }
  Bytes bytes() const { return {inner_.bytes().begin(), inner_.bytes().end()}; }

 private:
  platform::MemoryStream inner_;
  int64_t capacity_;
};

// One run of the adapter, with or without the unit, as the host sees it.
struct AdapterRun {
  Bytes output;
  CompressCounters counters;
  std::vector<int64_t> calls;
  bool operator==(const AdapterRun& o) const {
    return output == o.output && calls == o.calls &&
           counters.bytes_processed == o.counters.bytes_processed &&
           counters.compressed_size == o.counters.compressed_size &&
           counters.crc == o.counters.crc;
  }
};

struct Case {
  std::string name;
  uint8_t level = 5;
  int64_t claimed_extra = 0;  // source size claimed beyond the data
  int64_t disk = std::numeric_limits<int64_t>::max();  // output capacity
  int cancel_at_call = -1;
  std::string password;
  int change_at_call = -1;  // the source changes in this progress call:
  bool shrink = false;      // it is cut short, or bytes of a later block change
};

AdapterRun RunAdapter(const Case& c, const Bytes& data, ParallelDeflate* unit) {
  std::optional<ParallelCompression> parallel;
  if (unit != nullptr) parallel.emplace(*unit);
  platform::MemoryStream source{std::span<const uint8_t>(data)};
  FullDisk output(c.disk);
  AdapterRun run;
  RecordingProgress progress(c.cancel_at_call);
  progress.on_call = [&](int call) {
    if (call != c.change_at_call) return;
    const int64_t next_block = call * DeflateBlockSize(c.level);
    const int64_t at = source.Position();
    if (c.shrink) {
      source.SetSize(next_block + 5000);
    } else {
      source.Seek(next_block + 1000);
      source.Write("changed", 7);
    }
    source.Seek(at);
  };
  HeaderRandom random = HeaderRandom::WithFixedSeed(42);
  CompressEntry(source, static_cast<int64_t>(data.size()) + c.claimed_extra,
                output, c.level, 8, c.password, run.counters, progress, &random,
                parallel ? &*parallel : nullptr);
  run.output = output.bytes();
  run.calls = progress.calls;
  return run;
}

// With the unit, an entry that is cancelled, whose source ends early, whose
// output fills up or that is encrypted ends exactly as without it: the same
// bytes written, counters and progress calls; and the unit is left empty
// for the next entry.
TEST(ParallelDeflateTest, EarlyStopsAndEncryptionEndAsWithoutTheUnit) {
  const Bytes data = Prefix(Records, 5 * 1024 * 1024 / 2);
  const std::vector<Case> cases = {
      {"cancelled before the first block", 5, 0,
       std::numeric_limits<int64_t>::max(), 0, ""},
      {"cancelled before the third block", 5, 0,
       std::numeric_limits<int64_t>::max(), 2, ""},
      {"source shorter than its size", 5, 1000,
       std::numeric_limits<int64_t>::max(), -1, ""},
      {"source short in an in-order level", 2, 600000,
       std::numeric_limits<int64_t>::max(), -1, ""},
      {"disk full in the second block", 5, 0, 500000, -1, ""},
      {"encrypted", 6, 0, std::numeric_limits<int64_t>::max(), -1, "secret"},
      {"changed in the second progress call", 5, 0,
       std::numeric_limits<int64_t>::max(), -1, "", 2, false},
      {"cut short in the second progress call", 5, 0,
       std::numeric_limits<int64_t>::max(), -1, "", 2, true},
      {"encrypted, in-order level", 1, 0, std::numeric_limits<int64_t>::max(),
       -1, "secret"},
  };
  ParallelDeflate unit(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AdapterRun serial = RunAdapter(c, data, nullptr);
    const AdapterRun parallel = RunAdapter(c, data, &unit);
    EXPECT_TRUE(parallel == serial);
    EXPECT_EQ(unit.InFlight(), 0);
  }
}

}  // namespace
}  // namespace parallel_deflate_test
}  // namespace tessaly::engine
