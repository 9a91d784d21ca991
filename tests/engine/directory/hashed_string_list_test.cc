#include "engine/directory/hashed_string_list.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

TEST(TZAStringHashTest, HashKeyRotatesAndXors) {
  TZAStringHash hash(7);
  EXPECT_EQ(hash.HashKey(""), 0u);
  EXPECT_EQ(hash.HashKey("AB"), 0x146u);
  // Sixteen 0xFF bytes rotate bits out of the top and back in at the bottom.
  uint32_t h = 0;
  for (int i = 0; i < 16; ++i) h = ((h << 2) | (h >> 30)) ^ 0xFFu;
  EXPECT_EQ(hash.HashKey(std::string(16, '\xFF')), h);
  EXPECT_EQ(hash.HashKey("\xE9"), 0xE9u);  // bytes are unsigned
}

TEST(TZAStringHashTest, LatestInsertWinsAndRemoveUnlinksIt) {
  TZAStringHash hash(1);  // one chain: every key collides
  hash.Insert("x", 0);
  hash.Insert("y", 1);
  hash.Insert("x", 2);
  EXPECT_EQ(hash.Lookup("x"), 2);
  EXPECT_EQ(hash.Lookup("X"), -1);  // exact compare
  hash.Remove("x");
  EXPECT_EQ(hash.Lookup("x"), 0);
  hash.Remove("x", 5);  // no such pair: nothing happens
  EXPECT_EQ(hash.Lookup("x"), 0);
  hash.Remove("x", 0);
  EXPECT_EQ(hash.Lookup("x"), -1);
  EXPECT_EQ(hash.Lookup("y"), 1);
  EXPECT_EQ(*hash.FindSlot("absent"), nullptr);
  hash.Clear();
  EXPECT_EQ(hash.Lookup("y"), -1);
  EXPECT_EQ(hash.BucketCount, 1u);
}

TEST(TZAHashedStringListTest, FirstIndexOfBuildsThousandBucketIndex) {
  TZAHashedStringList list;
  EXPECT_EQ(list.ValueIndexBucketCount(), -1);
  EXPECT_FALSE(list.IsValueIndexValid());
  EXPECT_EQ(list.IndexOf("a"), -1);
  EXPECT_EQ(list.ValueIndexBucketCount(), 1000);
  EXPECT_TRUE(list.IsValueIndexValid());
}

TEST(TZAHashedStringListTest, IndexIsDiscardedPastFivePerBucketAndRebuilt) {
  TZAHashedStringList list;
  list.IndexOf("");
  for (int i = 0; i < 5000; ++i) list.Add("name" + std::to_string(i));
  EXPECT_EQ(list.ValueIndexBucketCount(), 1000);
  EXPECT_TRUE(list.IsValueIndexValid());
  EXPECT_EQ(list.IndexOf("NAME4999"), 4999);  // entered by Add

  list.Add("name5000");
  EXPECT_EQ(list.ValueIndexBucketCount(), -1);
  EXPECT_FALSE(list.IsValueIndexValid());

  EXPECT_EQ(list.IndexOf("name5000"), 5000);
  EXPECT_EQ(list.ValueIndexBucketCount(), 5001);
  for (int i = 0; i <= 5000; ++i) {
    ASSERT_EQ(list.IndexOf("Name" + std::to_string(i)), i);
  }
}

TEST(TZAHashedStringListTest, EqualStringsResolveToLatestPosition) {
  TZAHashedStringList list;
  list.Add("x");
  list.Add("y");
  list.Add("x");
  EXPECT_EQ(list.IndexOf("x"), 2);  // after a rebuild: the highest position
  list.Add("X");
  EXPECT_EQ(list.IndexOf("x"), 3);  // after Add: the new position
}

TEST(TZAHashedStringListTest, CaseRules) {
  TZAHashedStringList list;
  list.Add(test::Ansi("dir/café.dat"));
  EXPECT_EQ(list.IndexOf(test::Ansi("DIR/CAFÉ.DAT")), 0);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(test::Ansi("DIR/CAFÉ.DAT")), -1);
  EXPECT_EQ(list.IndexOf(test::Ansi("dir/café.dat")), 0);
}

TEST(TZAHashedStringListTest, DeleteAndClearKeepLookupsRight) {
  TZAHashedStringList list;
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(list.IndexOf("b"), 1);
  list.Delete(0);
  EXPECT_FALSE(list.IsValueIndexValid());
  EXPECT_EQ(list.IndexOf("b"), 0);
  EXPECT_EQ(list.IndexOf("a"), -1);
  list.Clear();
  EXPECT_EQ(list.IndexOf("b"), -1);
  list.Add("c");
  EXPECT_EQ(list.IndexOf("c"), 0);
}

TEST(TZAHashedStringListTest, PutMovesTheEntry) {
  TZAHashedStringList list;
  list.Add("a");
  list.Add("z");
  list.IndexOf("a");
  list.Put(0, "b");
  EXPECT_EQ(list.IndexOf("a"), -1);
  EXPECT_EQ(list.IndexOf("b"), 0);
  EXPECT_THROW(list.Put(2, "q"), EStringListError);
  EXPECT_EQ(list.IndexOf("q"), -1);
}

TEST(TZAHashedStringListTest, PutOfOneDuplicateLeavesTheOtherFindable) {
  TZAHashedStringList list;
  list.Add("x");
  list.Add("y");
  list.Add("x");
  list.IndexOf("x");  // index: x -> 2 ahead of x -> 0
  list.Put(0, "z");
  EXPECT_EQ(list.IndexOf("x"), 2);
  EXPECT_EQ(list.IndexOf("z"), 0);
  list.Put(2, "w");
  EXPECT_EQ(list.IndexOf("x"), -1);
}

TEST(TZAHashedStringListTest, IndexOfNameFollowsChanges) {
  TZAHashedStringList list;
  list.Add("KEY=1");
  list.Add("key");
  EXPECT_EQ(list.IndexOfName("key"), 0);
  EXPECT_EQ(list.NameIndexBucketCount(), 256);
  EXPECT_EQ(list.IndexOfName("other"), -1);
  list.Add("other=2");
  EXPECT_EQ(list.IndexOfName("OTHER"), 2);
  list.Put(0, "changed=1");
  EXPECT_EQ(list.IndexOfName("key"), -1);
  EXPECT_EQ(list.IndexOfName("changed"), 0);
  list.Delete(0);
  EXPECT_EQ(list.IndexOfName("other"), 1);
}

}  // namespace
}  // namespace tessaly::engine
