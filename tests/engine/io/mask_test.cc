#include "engine/io/mask.h"

#include <chrono>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

struct MaskMatchCase {
  std::string_view mask;
  std::string_view name;
  bool matches;
};

std::ostream& operator<<(std::ostream& os, const MaskMatchCase& c) {
  return os << "mask '" << c.mask << "' name '" << c.name << "' -> "
            << (c.matches ? "match" : "no match");
}

constexpr MaskMatchCase kMatchCases[] = {
    // Empty mask and lone star.
    {"", "", true},
    {"", "a", false},
    {"*", "", true},
    {"*", "anything.at.all", true},
    {"**", "x", true},
    // Literals are anchored at both ends.
    {"abc", "abc", true},
    {"abc", "abcd", false},
    {"abc", "ab", false},
    {"FileList.cfg", "filelist.CFG", true},
    // Dots.
    {"*.*", "readme", false},
    {"*.*", "a.", true},
    {"*.*", ".profile", true},
    {"*.dat", "x.dat", true},
    {"*.dat", "x.dat.bak", false},
    {"*.dat", "x.data", false},
    // ASCII case folding only.
    {"*.DAT", "x.dat", true},
    {"*.DAT", "X.Dat", true},
    {"caf\xC3\xA9", "caf\xC3\xA9", true},   // é = é
    {"caf\xC3\xA9", "CAF\xC3\xA9", true},   // ASCII part folds
    {"caf\xC3\xA9", "caf\xC3\x89", false},  // é <> É
    {"*\xC3\xA9*", "r\xC3\xA9sum\xC3\xA9", true},
    {"*\xC3\xA9", "\xC3\x89", false},
    // "?" takes exactly one character.
    {"a?", "a", false},
    {"a?", "ab", true},
    {"??", "ab", true},
    {"??", "a", false},
    {"??", "abc", false},
    {"x?", "x\xC3", true},  // truncated sequence
    // "?" after "*" is absorbed by the star.
    {"*?", "", true},
    {"*?", "abc", true},
    {"a*?b", "ab", true},
    {"?*", "", false},
    // Brackets are literal characters.
    {"[ab].txt", "[ab].txt", true},
    {"[ab].txt", "[AB].TXT", true},
    {"[ab].txt", "a.txt", false},
    // Backtracking.
    {"*ab", "aab", true},
    {"*ab", "aba", false},
    {"*a*b*c", "xaybzc", true},
    {"*a*b*c", "xaybz", false},
    {"a*a", "a", false},
    {"*.dat", "a.dat.dat", true},
    {"*\xC3\xA9x", "\xC3\xA9\xC3\xA9x", true},
    // Invalid UTF-8 in either text stays within bounds.
    {"\xC3", "\xC3", true},
    {"*\xC3", "ab\xC3", true},
    {"*\xC3\xA9", "ab\xC3", false},
    {"\xA9", "\xA9", true},
};

class MaskMatchTest : public testing::TestWithParam<MaskMatchCase> {};

TEST_P(MaskMatchTest, MatchesWholeName) {
  const MaskMatchCase& c = GetParam();
  EXPECT_EQ(MaskMatch(c.name, c.mask), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Table, MaskMatchTest, testing::ValuesIn(kMatchCases));

// "?" over characters of several bytes: where ANSI text is UTF-8 (POSIX).
constexpr MaskMatchCase kUtf8Cases[] = {
    {"?", "\xC3\xA9", true},          // one 2-byte character
    {"?", "\xE2\x82\xAC", true},      // one 3-byte character
    {"?", "\xF0\x9F\x98\x80", true},  // one 4-byte character
    {"??", "\xC3\xA9", false},
    {"?x", "\xC3\xA9x", true},
};

constexpr char kSingleByteAnsi[] =
    "ANSI text is a code page of one byte per character here, so these "
    "names hold no characters of several bytes";

class Utf8MaskMatchTest : public MaskMatchTest {};

TEST_P(Utf8MaskMatchTest, MatchesWholeName) {
  if (!tessaly::test::AnsiIsUtf8()) GTEST_SKIP() << kSingleByteAnsi;
  const MaskMatchCase& c = GetParam();
  EXPECT_EQ(MaskMatch(c.name, c.mask), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8MaskMatchTest, testing::ValuesIn(kUtf8Cases));

// Whatever the ANSI text, "?" takes one character of it: a UTF-8 sequence
// on POSIX, one byte of the code page on Windows.
TEST(MaskCharacterTest, QuestionMarkTakesOneAnsiCharacter) {
  const std::string e_acute = tessaly::test::Ansi("\xC3\xA9");
  ASSERT_FALSE(e_acute.empty());
  EXPECT_TRUE(MaskMatch(e_acute, "?"));
  EXPECT_FALSE(MaskMatch(e_acute, "??"));
  EXPECT_TRUE(MaskMatch(e_acute + "x", "?x"));
  EXPECT_TRUE(MaskMatch("x" + e_acute, "x?"));
}

std::string StarGroups(int groups) {
  std::string mask;
  for (int i = 0; i < groups; ++i) mask += "*a";
  return mask;
}

TEST(TMaskTest, ThirtyStarGroupsCompileAndMatch) {
  TMask mask(StarGroups(30));
  EXPECT_TRUE(mask.IsMatch(std::string(30, 'a')));
  EXPECT_TRUE(mask.IsMatch("x" + std::string(40, 'a')));
  EXPECT_FALSE(mask.IsMatch(std::string(29, 'a')));
  EXPECT_NO_THROW(TMask("**a**a" + StarGroups(28)));  // "**" counts once
}

TEST(TMaskTest, ThirtyFirstStarGroupIsInvalid) {
  const std::string text = StarGroups(31);
  try {
    TMask mask(text);
    FAIL() << "no exception";
  } catch (const platform::Exception& e) {
    EXPECT_STREQ(e.ClassName(), "Exception");
    // The position is that of the first star of the offending group.
    EXPECT_EQ(e.Message(), "'" + text + "' is an invalid mask at (61)");
  }
  // A trailing star makes the end of the name a star state too.
  EXPECT_THROW(TMask(StarGroups(30) + "*"), platform::Exception);
  EXPECT_THROW(MaskMatch("a", StarGroups(30) + "**"), platform::Exception);
}

TEST(TMaskTest, CompilesToExactlySizedProgram) {
  // é (C3 A9) is one two-byte character only where ANSI text is UTF-8.
  if (!tessaly::test::AnsiIsUtf8()) GTEST_SKIP() << kSingleByteAnsi;
  TMask mask("*.D?t\xC3\xA9");
  ASSERT_EQ(mask.StateCount(), 6u);
  const TMaskState* s = mask.States();
  EXPECT_EQ(s[0].AfterStar, 1);
  EXPECT_EQ(s[0].Literal, '.');
  EXPECT_EQ(s[1].Literal, 'D');
  EXPECT_EQ(s[2].Kind, mkAny);
  EXPECT_EQ(s[3].Literal, 'T');
  EXPECT_EQ(s[4].Kind, mkPair);
  EXPECT_EQ(s[4].LeadByte, 0xC3);
  EXPECT_EQ(s[4].TrailCount, 1);
  EXPECT_EQ(s[4].TrailByte[0], 0xA9);
  EXPECT_EQ(s[5].Kind, mkLiteral);
  EXPECT_EQ(s[5].Literal, '\0');
  EXPECT_EQ(s[5].AfterStar, 0);
}

TEST(TMaskTest, TextsEndAtNul) {
  using namespace std::string_literals;
  EXPECT_TRUE(MaskMatch("abc\0def"s, "abc"));
  EXPECT_TRUE(MaskMatch("abc", "a*\0zzz"s));
}

TEST(TMaskTest, PathologicalMaskFinishesQuickly) {
  // Plain backtracking would try on the order of C(200, 29) placements.
  std::string mask;
  for (int i = 0; i < 29; ++i) mask += "*a";
  mask += "*b";
  const std::string name(200, 'a');
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MaskMatch(name, mask));
  EXPECT_TRUE(MaskMatch(name + "b", mask));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A plain dynamic-programming matcher over ASCII, with "?" after a star
// absorbed as the compiler does.
bool ReferenceMatch(std::string_view name, std::string_view mask) {
  std::string m;
  bool star = false;
  for (char c : mask) {
    if (c == '*') star = true;
    if (c == '?' && star) continue;
    if (c != '*') star = false;
    m.push_back(c);
  }
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
  // can[j][i]: mask suffix from j matches name suffix from i.
  std::vector<std::vector<bool>> can(m.size() + 1,
                                     std::vector<bool>(name.size() + 1));
  can[m.size()][name.size()] = true;
  for (size_t j = m.size(); j-- > 0;) {
    for (size_t i = name.size() + 1; i-- > 0;) {
      if (m[j] == '*') {
        can[j][i] = can[j + 1][i] || (i < name.size() && can[j][i + 1]);
      } else if (i < name.size() &&
                 (m[j] == '?' || upper(m[j]) == upper(name[i]))) {
        can[j][i] = can[j + 1][i + 1];
      }
    }
  }
  return can[0][0];
}

TEST(TMaskTest, AgreesWithReferenceMatcherOnRandomInputs) {
  std::mt19937 random(20240601);
  auto make = [&](std::string_view alphabet, size_t max_length) {
    std::string s(random() % (max_length + 1), ' ');
    for (char& c : s) c = alphabet[random() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string mask = make("ab.*?*", 8);
    std::string name = make("aAb.", 10);
    ASSERT_EQ(MaskMatch(name, mask), ReferenceMatch(name, mask))
        << "mask '" << mask << "' name '" << name << "'";
  }
}

}  // namespace
}  // namespace tessaly::engine
