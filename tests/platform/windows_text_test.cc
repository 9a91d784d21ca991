// The system's ANSI text on Windows: the ANSI and OEM code pages of the
// running system and its case conversion. The byte expectations are those of
// the Western code pages (ANSI 1252, OEM 437 or 850: what Wine uses for an
// English or C locale); on a system with other code pages they are skipped,
// and only what holds for every code page is checked.

#include <string>

#include <gtest/gtest.h>

#include "platform/find_match.h"
#include "platform/text.h"

#include "platform/windows/win32.h"

namespace tessaly::platform {
namespace {

bool AnsiIs1252() { return GetACP() == 1252; }
bool OemIs437() { return GetOEMCP() == 437; }
bool OemIs437Or850() { return GetOEMCP() == 437 || GetOEMCP() == 850; }

std::string Byte(unsigned char b) {
  return std::string(1, static_cast<char>(b));
}

TEST(WindowsTextTest, AsciiIsUnchangedBothWays) {
  std::string ascii;
  for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
  EXPECT_EQ(AnsiToOem(ascii), ascii);
  EXPECT_EQ(OemToAnsi(ascii), ascii);
  EXPECT_EQ(AnsiToOem(""), "");
}

TEST(WindowsTextTest, WesternLettersConvertBetweenCodePages) {
  if (!AnsiIs1252() || !OemIs437Or850()) {
    GTEST_SKIP() << "code pages " << GetACP() << "/" << GetOEMCP();
  }
  // 1252 -> 437/850: é E9 -> 82, Ä C4 -> 8E, ñ F1 -> A4, ß DF -> E1.
  EXPECT_EQ(AnsiToOem("caf\xE9"), "caf\x82");
  EXPECT_EQ(AnsiToOem("\xC4\xF1\xDF"), "\x8E\xA4\xE1");
  EXPECT_EQ(OemToAnsi("caf\x82"), "caf\xE9");
  EXPECT_EQ(OemToAnsi("\x8E\xA4\xE1"), "\xC4\xF1\xDF");
}

TEST(WindowsTextTest, CharactersWithoutAnOemFormBecomeUnderscore) {
  if (!AnsiIs1252() || !OemIs437()) {
    GTEST_SKIP() << "code pages " << GetACP() << "/" << GetOEMCP();
  }
  EXPECT_EQ(AnsiToOem("\x80"), "_") << "euro sign";
  EXPECT_EQ(AnsiToOem("\xC0.txt"), "_.txt") << "A grave: no best fit to 'A'";
  EXPECT_EQ(AnsiToOem("\x8A"), "_") << "S caron";
  EXPECT_EQ(OemToAnsi("\xB0\xC9"), "__") << "box drawing has no 1252 form";
  EXPECT_EQ(AnsiToOem(OemToAnsi("\x82\x8E")), "\x82\x8E");
}

TEST(WindowsTextTest, NoCharacterBecomesAWildcard) {
  // Whatever the code pages: a byte without a counterpart never turns
  // into '?' or '*', which no Windows name may hold.
  for (int b = 0x80; b < 0x100; ++b) {
    const std::string oem = AnsiToOem(Byte(static_cast<unsigned char>(b)));
    const std::string ansi = OemToAnsi(Byte(static_cast<unsigned char>(b)));
    EXPECT_EQ(oem.find_first_of("?*"), std::string::npos) << "byte " << b;
    EXPECT_EQ(ansi.find_first_of("?*"), std::string::npos) << "byte " << b;
  }
}

TEST(WindowsTextTest, Utf8NamesConvertToAndFromTheAnsiCodePage) {
  EXPECT_EQ(Utf8ToAnsi("a/b.txt"), "a/b.txt");
  EXPECT_EQ(AnsiToUtf8(""), "");
  if (!AnsiIs1252()) GTEST_SKIP() << "ANSI code page " << GetACP();
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC") << "euro sign";
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC"), "\x80");
  // Without a 1252 form: '_', never '?' nor a best-fit letter.
  EXPECT_EQ(Utf8ToAnsi("\xCE\xA9.txt"), "_.txt") << "Greek Omega";
  EXPECT_EQ(Utf8ToAnsi("\xC4\x80"), "_") << "A macron, no best fit to 'A'";
  // Beyond U+FFFF: '_' for each UTF-16 unit, as the system converts.
  const std::string emoji = Utf8ToAnsi("\xF0\x9F\x98\x80");
  EXPECT_FALSE(emoji.empty());
  EXPECT_EQ(emoji.find_first_not_of('_'), std::string::npos) << emoji;
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a_") << "cut-off sequence";
  for (int b = 1; b < 0x100; ++b) {
    const std::string ansi = Byte(static_cast<unsigned char>(b));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(ansi)), ansi) << "byte " << b;
  }
}

TEST(WindowsTextTest, CaseFollowsTheAnsiCodePage) {
  EXPECT_EQ(AnsiUpperCase("filelist.cfg"), "FILELIST.CFG");
  EXPECT_EQ(AnsiLowerCase("ORVANE.ZIP"), "orvane.zip");
  if (!AnsiIs1252()) GTEST_SKIP() << "ANSI code page " << GetACP();
  EXPECT_EQ(AnsiUpperCase("caf\xE9"), "CAF\xC9");
  EXPECT_EQ(AnsiLowerCase("\xC0\xC9\xD6\xDE"), "\xE0\xE9\xF6\xFE");
  EXPECT_EQ(AnsiUpperCase("\xE0\xE9\xF6\xFE"), "\xC0\xC9\xD6\xDE");
  EXPECT_EQ(AnsiUpperCase("\x9A\x9C"), "\x8A\x8C") << "s caron, oe";
  EXPECT_EQ(AnsiUpperCase("\xFF"), "\x9F") << "y diaeresis";
  EXPECT_EQ(AnsiUpperCase("\xDF\xD7\xF7"), "\xDF\xD7\xF7")
      << "sharp s, multiply, divide stay";
  EXPECT_EQ(AnsiUpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(WindowsTextTest, CharacterLengthFollowsTheCodePage) {
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  for (int b = 0; b < 0x100; ++b) {
    const auto lead = static_cast<unsigned char>(b);
    const int expected = IsDBCSLeadByte(lead) ? 2 : 1;
    EXPECT_EQ(AnsiCharLength(lead), expected) << "byte " << b;
    if (info.MaxCharSize == 1) {
      EXPECT_EQ(expected, 1) << "single-byte page";
    }
    EXPECT_EQ(AnsiCharLength(Byte(lead), 0), 1u) << "no trail byte";
  }
}

TEST(WindowsTextTest, FindPatternsTakeAnsiCharacters) {
  if (!AnsiIs1252()) GTEST_SKIP() << "ANSI code page " << GetACP();
  EXPECT_TRUE(FindPatternMatches("a?c",
                                 "a\xE9"
                                 "c"));
  EXPECT_FALSE(FindPatternMatches("a??c",
                                  "a\xE9"
                                  "c"));
  EXPECT_TRUE(FindPatternMatches("\xE9*", "\xC9t\xE9.txt")) << "é matches É";
}

// Shift JIS (932, what Wine uses for a Japanese locale): a lead byte
// 0x81-0x9F or 0xE0-0xFC takes the next byte along, whatever it is.
TEST(WindowsTextTest, DoubleByteCharactersStayWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "ANSI code page " << GetACP();
  EXPECT_EQ(AnsiCharLength(0x82), 2);
  EXPECT_EQ(AnsiCharLength(0xB1), 1) << "half-width katakana";
  EXPECT_EQ(AnsiCharLength('a'), 1);
  EXPECT_EQ(AnsiCharLength(std::string_view("\x82\xA0"), 0), 2u);
  EXPECT_EQ(AnsiCharLength(std::string_view("\x82"), 0), 1u) << "cut off";

  // 0x83 0x61 and 0x83 0x41 are katakana whose second byte looks like 'a'
  // and 'A': case conversion and matching must leave it alone.
  EXPECT_EQ(AnsiUpperCase("\x83\x61x"), "\x83\x61X");
  EXPECT_EQ(AnsiLowerCase("\x83\x41X"), "\x83\x41x");
  EXPECT_TRUE(FindPatternMatches("a?c",
                                 "a\x82\xA0"
                                 "c"));
  EXPECT_FALSE(FindPatternMatches("a??c",
                                  "a\x82\xA0"
                                  "c"));
  EXPECT_FALSE(FindPatternMatches("*a*", "\x83\x61"));
  EXPECT_TRUE(FindPatternMatches("\x83\x61*", "\x83\x61.txt"));
}

}  // namespace
}  // namespace tessaly::platform
