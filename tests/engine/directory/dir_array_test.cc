#include "engine/directory/dir_array.h"

#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "engine/base/za_exception.h"
#include "platform/stream.h"
#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

TDirItem Named(std::string name, std::vector<uint8_t> extra = {}) {
  TDirItem item;
  item.StoredName = std::move(name);
  if (!extra.empty()) {
    item.ExtraBlocks.push_back(
        {0x5455, static_cast<uint16_t>(extra.size()), extra});
  }
  return item;
}

void Fill(TZADirArray& dir, std::initializer_list<std::string> names) {
  for (const std::string& name : names) dir.AddItem(Named(name));
}

int32_t Find(TZADirArray& dir, const std::string& name) {
  int32_t index = -2;
  const bool found = dir.FindName(name, index);
  EXPECT_EQ(found, index >= 0);
  return index;
}

template <typename F>
void ExpectCode(int32_t code, F&& f) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected code " << code;
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), code) << e.what();
    // The store raises without an archiver: no name prefix.
    const std::string text = code < 58 ? "Index out of bounds"
                                       : "Hashed list of file names is invalid";
    EXPECT_EQ(std::string(e.what()).rfind(text, 0), 0u) << e.what();
  }
}

TEST(DirArrayTest, GrowthStepsDoubleUpToTheLimit) {
  TZADirArray dir;
  EXPECT_EQ(dir.Capacity, 0);
  EXPECT_EQ(dir.GrowStep, 500);
  const std::pair<int32_t, int32_t> steps[] = {{1, 1000},      {1001, 3000},
                                               {3001, 7000},   {7001, 15000},
                                               {15001, 25000}, {25001, 35000}};
  for (auto [count, capacity] : steps) {
    dir.SetCount(count);
    EXPECT_EQ(dir.Capacity, capacity) << "count " << count;
    EXPECT_EQ(dir.Count(), count);
  }
  dir.SetCount(100);  // shrinking keeps the storage
  EXPECT_EQ(dir.Capacity, 35000);
  dir.SetCount(0);
  EXPECT_EQ(dir.Capacity, 0);
  EXPECT_EQ(dir.GrowStep, 10000);
  dir.SetCount(1);
  EXPECT_EQ(dir.Capacity, 10000);
  dir.SetCount(50000);  // a jump beyond one step allocates exactly
  EXPECT_EQ(dir.Capacity, 50000);
}


TEST(DirArrayTest, ReserveMakesRoomWithoutCountingOrChangingTheStep) {
  TZADirArray dir;
  dir.Reserve(50);
  EXPECT_EQ(dir.Capacity, 50);
  EXPECT_EQ(dir.Count(), 0);
  Fill(dir, {"a", "b"});
  EXPECT_EQ(dir.Capacity, 50) << "no growth while the room lasts";
  dir.Reserve(10);
  EXPECT_EQ(dir.Capacity, 50) << "never shrinks";
  EXPECT_EQ(Find(dir, "B"), 1);
  dir.SetCount(51);
  EXPECT_EQ(dir.GrowStep, 1000);
  EXPECT_EQ(dir.Capacity, 1050);
}
TEST(DirArrayTest, IndexErrorsHaveTheirCodesAndChangeNothing) {
  TZADirArray dir;
  Fill(dir, {"a"});
  TDirItem item;
  ExpectCode(1, [&] { dir.PutItem(1, Named("x")); });
  ExpectCode(2, [&] { dir.GetItem(-1, item); });
  ExpectCode(3, [&] { dir.ItemPtr(1); });
  ExpectCode(4, [&] { dir.DeleteItem(5); });
  EXPECT_EQ(dir.Count(), 1);
  EXPECT_EQ(Find(dir, "a"), 0);

  dir.SetCount(4);  // three unnamed items, not indexed yet
  ExpectCode(58, [&] { dir.PutItem(3, Named("d")); });
  ExpectCode(59, [&] { dir.RenameItem(2, "c"); });
  dir.RenameItem(1, "b");  // filling in order appends
  EXPECT_EQ(Find(dir, "B"), 1);
  EXPECT_EQ(dir.ItemPtr(1).StoredName, "b");
}

TEST(DirArrayTest, FindNameIgnoresCaseAndFollowsRenameAndDelete) {
  TZADirArray dir;
  Fill(dir, {test::Ansi("Docs/Ärger.txt"), "b.dat", "c.dat"});
  EXPECT_EQ(Find(dir, test::Ansi("DOCS/ärger.TXT")), 0);
  EXPECT_EQ(Find(dir, "missing"), -1);

  dir.RenameItem(1, "New.dat");
  EXPECT_EQ(Find(dir, "b.dat"), -1);
  EXPECT_EQ(Find(dir, "new.DAT"), 1);
  EXPECT_EQ(dir.ItemPtr(1).StoredName, "New.dat");

  dir.DeleteItem(0);
  EXPECT_EQ(Find(dir, "new.dat"), 0);
  EXPECT_EQ(Find(dir, "c.dat"), 1);
  dir.DeleteItem(1);
  dir.DeleteItem(0);
  EXPECT_EQ(dir.Count(), 0);
  EXPECT_EQ(Find(dir, "new.dat"), -1);
}

TEST(DirArrayTest, DuplicateNamesKeepTheIndexInStep) {
  // Archives may hold one name twice; deleting or renaming the first must
  // not disturb the positions of the others.
  TZADirArray dir;
  Fill(dir, {"x", "b", "x"});
  EXPECT_EQ(Find(dir, "x"), 2);  // the last one
  dir.DeleteItem(0);
  EXPECT_EQ(Find(dir, "b"), 0);
  EXPECT_EQ(Find(dir, "x"), 1);
  Fill(dir, {"x"});
  dir.RenameItem(1, "y");
  EXPECT_EQ(Find(dir, "y"), 1);
  EXPECT_EQ(Find(dir, "x"), 2);
}

// A stream that counts its own destruction.
class CountedStream final : public platform::Stream {
 public:
  explicit CountedStream(int* freed) : freed_(freed) {}
  ~CountedStream() override { ++*freed_; }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t) override { return 0; }
  int64_t Position() const override { return 0; }
  int64_t Size() const override { return 0; }
  bool SetSize(int64_t) override { return false; }

 private:
  int* freed_;
};

TEST(DirArrayTest, ItemsOwnTheirExtraData) {
  TZADirArray dir;
  dir.AddItem(Named("a", {1, 2, 3}));
  TDirItem copy;
  dir.GetItem(0, copy);
  copy.ExtraBlocks[0].data[0] = 9;
  dir.PutItem(0, dir.ItemPtr(0));  // storing an item onto itself
  EXPECT_EQ(dir.ItemPtr(0).ExtraBlocks[0].data,
            (std::vector<uint8_t>{1, 2, 3}));

  TZADirArray other;
  Fill(other, {"old1", "old2", "old3"});
  other.Assign(dir);
  EXPECT_EQ(other.Count(), 1);
  EXPECT_EQ(Find(other, "old2"), -1);
  other.ItemPtr(0).ExtraBlocks[0].data[1] = 7;
  EXPECT_EQ(dir.ItemPtr(0).ExtraBlocks[0].data[1], 2);

  Fill(dir, {"b"});
  dir.DeleteItem(0);  // leak-checked under the sanitizer build
  EXPECT_EQ(dir.ItemPtr(0).StoredName, "b");
  dir.SetCount(2);  // the vacated slot comes back empty
  EXPECT_TRUE(dir.ItemPtr(1).StoredName.empty());
  EXPECT_TRUE(dir.ItemPtr(1).ExtraBlocks.empty());
  EXPECT_EQ(dir.ItemPtr(1).SourceStream.get(), nullptr);
}

// Items are copied between a directory and its saved copy: an owned source
// stream is freed once, when the last copy lets go of it, and a borrowed one
// never.
TEST(DirArrayTest, OwnedSourceStreamIsFreedByTheLastCopy) {
  int freed = 0;
  int borrowed_freed = 0;
  CountedStream borrowed(&borrowed_freed);
  TZADirArray dir;
  TDirItem owner = Named("a");
  owner.SourceStream =
      SourceStreamRef::Owned(std::make_unique<CountedStream>(&freed));
  dir.AddItem(owner);
  owner.SourceStream.Reset();
  TDirItem lender = Named("b");
  lender.SourceStream = SourceStreamRef::Borrowed(&borrowed);
  dir.AddItem(lender);
  EXPECT_TRUE(dir.ItemPtr(0).OwnsSource());
  EXPECT_FALSE(dir.ItemPtr(1).OwnsSource());
  EXPECT_EQ(dir.ItemPtr(1).SourceStream.get(), &borrowed);

  TZADirArray saved;
  saved.Assign(dir);
  dir.DeleteItem(0);
  EXPECT_EQ(freed, 0);  // the saved copy still refers to it
  dir.Assign(saved);
  EXPECT_EQ(freed, 0);
  saved.Clear();
  EXPECT_EQ(freed, 0);
  dir.PutItem(0, Named("c"));  // replacing the last holder frees it
  EXPECT_EQ(freed, 1);
  dir.Clear();
  saved.SetCount(0);
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(borrowed_freed, 0);
}

}  // namespace
}  // namespace tessaly::engine
