#include "engine/io/entry_lookahead.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/io/deflate_adapter.h"
#include "platform/memory_stream.h"
#include "platform/testing/fault_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
// Named, so that the helpers stay apart from other files built with this one.
namespace entry_lookahead_test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Lines of numbered records: matches at every level.
std::string Records(size_t n) {
  std::string out;
  for (int i = 0; out.size() < n; ++i) {
    out += std::to_string(i * 7 % 1000) + ";SMITH;" + std::to_string(i) + "\n";
  }
  out.resize(n);
  return out;
}

class ListedItems final : public AheadItems {
 public:
  explicit ListedItems(std::vector<AheadItem> items) : items_(std::move(items)) {}
  bool Next(AheadItem& item) override {
    if (next_ == items_.size()) return false;
    item = items_[next_++];
    return true;
  }

 private:
  std::vector<AheadItem> items_;
  size_t next_ = 0;
};

// What the adapter writes for `data`: without workers, or with them and
// `first` as the entry's first block read ahead.
Bytes Compress(const Bytes& data, uint8_t level, ParallelDeflate* unit,
               std::optional<AheadBlock> first = std::nullopt) {
  platform::MemoryStream source{std::span<const uint8_t>(data)};
  platform::MemoryStream output;
  CompressCounters counters;
  NoCompressProgress progress;
  std::optional<ParallelCompression> parallel;
  if (unit != nullptr) parallel.emplace(*unit, nullptr, std::move(first));
  CompressEntry(source, static_cast<int64_t>(data.size()), output, level, 8, "",
                counters, progress, nullptr, parallel ? &*parallel : nullptr);
  Bytes out(output.bytes().begin(), output.bytes().end());
  out.push_back(static_cast<uint8_t>(counters.crc));  // the CRC counts too
  return out;
}

// Files that cannot be read ahead are passed over, the budget of blocks in
// flight is kept, and each entry's first block is handed out once, to the
// entry of the same path and level; entries passed over by the writing are
// dropped, the later ones stay.
TEST(EntryLookaheadTest, ReadsFirstBlocksWithinTheBudgetAndHandsThemOut) {
  tessaly::test::TempDir dir;
  platform::FaultEnv env;
  const std::string a = dir.WriteFile("a.txt", Records(100));
  const std::string big = Records(2 * 1024 * 1024);
  const std::string b = dir.WriteFile("b.txt", big);
  const std::string empty = dir.WriteFile("empty.txt", "");
  const std::string refused = dir.WriteFile("refused.txt", "no");
  env.RefuseOpen(refused);
  const std::string c = dir.WriteFile("c.txt", Records(3000));
  const std::string d = dir.WriteFile("d.txt", Records(5000));
  ListedItems items({{a, 6},
                     {empty, 6},
                     {dir.Join("missing.txt"), 6},
                     {refused, 6},
                     {b, 9},
                     {c, 2},
                     {d, 6}});
  ParallelDeflate unit(2, 1);  // room for one block of 1.5 MiB
  {
    EntryLookahead ahead(unit, env, platform::kOpenRead, items);
    ahead.Fill();
    EXPECT_EQ(unit.InFlight(), 2);  // a and b; c and d wait for room

    EXPECT_FALSE(ahead.Claim(refused, 6));
    EXPECT_FALSE(ahead.Claim(b, 6)) << "another level";
    std::optional<AheadBlock> first_b = ahead.Claim(b, 9);
    ASSERT_TRUE(first_b);
    EXPECT_FALSE(first_b->last);
    EXPECT_TRUE(*first_b->bytes == ToBytes(big.substr(0, 1536 * 1024)));
    EXPECT_EQ(unit.InFlight(), 1) << "a was passed over";
    EXPECT_FALSE(ahead.Claim(a, 6));
    EXPECT_EQ(unit.Take(first_b->entry).source_size, 1536 * 1024);

    ahead.Fill();
    EXPECT_EQ(unit.InFlight(), 2);  // c and d
    std::optional<AheadBlock> first_c = ahead.Claim(c, 2);
    ASSERT_TRUE(first_c);
    EXPECT_TRUE(first_c->last);
    EXPECT_TRUE(*first_c->bytes == ToBytes(Records(3000)));
    unit.Discard(first_c->entry);
  }
  EXPECT_EQ(unit.InFlight(), 0) << "d is dropped with the lookahead";
}

// A first block read ahead is used when the entry's own read gives the
// same bytes, and dropped when the source changed since (other bytes, or
// more of them), at a level whose blocks are independent and at one whose
// blocks run in order on the stream the first block started: the entry is
// written as without workers either way.
TEST(EntryLookaheadTest, FirstBlockIsUsedOnlyWhenTheSourceStillHoldsIt) {
  for (uint8_t level : {2, 9}) {
    const auto block = static_cast<size_t>(DeflateBlockSize(level));
    const Bytes data = ToBytes(Records(2 * block + 1000));
    const Bytes changed_first =
        ToBytes(Records(2 * block + 1000).replace(5, 3, "XYZ"));
    struct Case {
      const char* name;
      Bytes read_ahead;  // the file when it was read ahead
      bool last;
    };
    const std::vector<Case> cases = {
        {"unchanged", Bytes(data.begin(), data.begin() + block), false},
        {"other bytes", Bytes(changed_first.begin(), changed_first.begin() + block), false},
        {"grown since", Bytes(data.begin(), data.begin() + block), true},
    };
    const Bytes serial = Compress(data, level, nullptr);
    ParallelDeflate unit(2);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", level " + std::to_string(level));
      AheadBlock first;
      first.entry = unit.OpenEntry(level);
      first.bytes = std::make_shared<Bytes>(c.read_ahead);
      first.last = c.last;
      unit.Submit(first.entry, first.bytes, first.last);
      EXPECT_TRUE(Compress(data, level, &unit, first) == serial);
      EXPECT_EQ(unit.InFlight(), 0);
    }
  }
}

}  // namespace
}  // namespace entry_lookahead_test
}  // namespace tessaly::engine
