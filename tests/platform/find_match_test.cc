#include "platform/find_match.h"

#include <gtest/gtest.h>

namespace tessaly::platform {
namespace {

struct MatchRow {
  const char* pattern;
  const char* name;
  bool matches;
};

constexpr MatchRow kMatchRows[] = {
    {"*.dat", "a.dat", true},
    {"*.dat", "A.DAT", true},
    {"*.dat", "a.dat.bak", false},
    {"*.dat", "a.dat2", false},
    {"FileList.cfg", "filelist.CFG", true},
    {"*", "x", true},
    {"*.*", "noext", true},  // a name without a dot matches as "noext."
    {"*.*", ".", true},
    {"noext.*", "noext", true},
    {"*.", "noext", true},
    {"*.", "a.b", false},
    {"a?c", "abc", true},
    {"a?c", "ac", false},
    {"a?c",
     "a\xC3\xA9"
     "c",
     true},  // '?' takes a whole UTF-8 character
    {"\xC3\xA9*", "\xC3\x89t\xC3\xA9.txt", true},  // é matches É
    {"a*b*c", "aXbYbZc", true},
    {"a*b*c", "aXbYbZ", false},
    {"**a", "bba", true},
    {"", "a", false},
    {"a", "", false},
};

TEST(FindPatternMatchesTest, Table) {
  for (const MatchRow& row : kMatchRows) {
    EXPECT_EQ(FindPatternMatches(row.pattern, row.name), row.matches)
        << "pattern \"" << row.pattern << "\" name \"" << row.name << '"';
  }
}

TEST(PassesAttributeFilterTest, SelectiveBitsNeedTheirFilterBit) {
  EXPECT_TRUE(PassesAttributeFilter(0x20, 0));
  EXPECT_TRUE(PassesAttributeFilter(0x21, 0)) << "read-only is not selective";
  EXPECT_TRUE(PassesAttributeFilter(0x00, 0));
  EXPECT_FALSE(PassesAttributeFilter(0x22, 0x20));
  EXPECT_TRUE(PassesAttributeFilter(0x22, 0x02));
  EXPECT_FALSE(PassesAttributeFilter(0x26, 0x02)) << "system missing";
  EXPECT_FALSE(PassesAttributeFilter(0x10, 0x28AF));
  EXPECT_TRUE(PassesAttributeFilter(0x12, 0x28BF));
  EXPECT_FALSE(PassesAttributeFilter(0x08, 0x07));
}

}  // namespace
}  // namespace tessaly::platform
