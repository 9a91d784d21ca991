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
    {"a*b*c", "aXbYbZc", true},
    {"a*b*c", "aXbYbZ", false},
    {"**a", "bba", true},
    {"", "a", false},
    {"a", "", false},
};

// ASCII only: what a character is and how letters fold beyond ASCII depends
// on the system (posix_text_test.cc, windows_text_test.cc).
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

TEST(SortFoundFilesTest, OrdersByUpperCasedNameThenBytes) {
  std::vector<FoundFile> found = {{"zz.dat", 0x20}, {"b.dat", 0x20},
                                  {"_x.dat", 0x20}, {"A.dat", 0x20},
                                  {"B1.dat", 0x20}, {"a2.dat", 0x20},
                                  {"[b.dat", 0x20}, {"Zeta.dat", 0x20},
                                  {"~t.dat", 0x20}, {"a.dat", 0x20}};
  SortFoundFiles(found);
  std::vector<std::string> names;
  for (const FoundFile& f : found) names.push_back(f.name);
  // '[' and '_' sort after the letters once letters are upper case; "A.dat"
  // and "a.dat" are equal in that form and keep byte order ('A' < 'a').
  EXPECT_EQ(names, (std::vector<std::string>{"A.dat", "a.dat", "a2.dat",
                                             "b.dat", "B1.dat", "Zeta.dat",
                                             "zz.dat", "[b.dat", "_x.dat",
                                             "~t.dat"}));
}

}  // namespace
}  // namespace tessaly::platform
