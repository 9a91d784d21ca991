// The decisions the entry writer takes before any data is written, and how a
// carried-over item finds its old entry.
#include <cstdint>

#include <gtest/gtest.h>

#include "engine/directory/dir_array.h"
#include "engine/entries/entry_placement.h"
#include "engine/entries/entry_writer.h"
#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

constexpr int64_t k4G = 0xFFFFFFFFll;

struct Zip64Case {
  const char* why;
  int64_t size;
  uint16_t method;
  bool encrypted;
  TZip64Mode mode;
  bool expected;
};

TEST(NeedsLocalZip64Test, DecidesFromSourceSizeMethodAndMode) {
  const Zip64Case cases[] = {
      {"small file", 1000, 8, false, zmAuto, false},
      {"exactly 0xFFFFFFFF bytes", k4G, 0, false, zmAuto, true},
      {"exactly 0xFFFFFFFF bytes, disabled", k4G, 0, false, zmDisabled, true},
      {"every entry with zmAlways", 0, 8, false, zmAlways, true},
      // Deflate may expand incompressible data: reserve the field early.
      {"deflated just below 4 GiB", k4G - 1000, 8, false, zmAuto, true},
      {"stored just below 4 GiB", k4G - 1000, 0, false, zmAuto, false},
      {"stored, encryption header crosses", k4G - 5, 0, true, zmAuto, true},
      {"disabled keeps the exact limit", k4G - 1000, 8, false, zmDisabled,
       false},
      {"deflated 3.5 GiB", 3758096384ll, 8, false, zmAuto, false},
  };
  for (const Zip64Case& c : cases) {
    EXPECT_EQ(NeedsLocalZip64(c.size, c.method, c.encrypted, c.mode),
              c.expected)
        << c.why;
  }
}

TEST(CharacterCountTest, CountsUtf8SequencesOnce) {
  EXPECT_EQ(CharacterCount(""), 0);
  EXPECT_EQ(CharacterCount("abc"), 3);
  EXPECT_EQ(CharacterCount(tessaly::test::Ansi("caf\xC3\xA9")), 4);
  if (tessaly::test::AnsiIsUtf8()) {  // characters of several bytes
    EXPECT_EQ(CharacterCount("\xE2\x82\xAC\xF0\x9F\x98\x80"), 2);
  }
}

TDirItem Item(const char* name, uint32_t offset) {
  TDirItem item;
  item.StoredName = name;
  item.header.local_header_offset = offset;
  return item;
}

TEST(FindOldItemTest, DuplicateNamesFindTheirOwnEntries) {
  TZADirArray saved;
  saved.AddItem(Item("a.txt", 0));
  saved.AddItem(Item("dup.txt", 100));
  saved.AddItem(Item("dup.txt", 200));
  EXPECT_EQ(FindOldItem(saved, Item("dup.txt", 100)), 1);
  EXPECT_EQ(FindOldItem(saved, Item("DUP.TXT", 200)), 2);
  // A replacement has a new offset by now: the first of the name.
  EXPECT_EQ(FindOldItem(saved, Item("dup.txt", 999)), 1);
  EXPECT_EQ(FindOldItem(saved, Item("none.txt", 0)), -1);
  // A pending rename is found by its place alone.
  TDirItem renamed = Item("new.txt", 100);
  renamed.Pending = true;
  renamed.EntryAction = poRename;
  EXPECT_EQ(FindOldItem(saved, renamed), 1);
}

}  // namespace
}  // namespace tessaly::engine
