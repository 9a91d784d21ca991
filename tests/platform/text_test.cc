// The pure UTF-8, CP437 and Unicode functions, the same on every system.

#include "platform/text.h"

#include <string>

#include <gtest/gtest.h>

namespace tessaly::platform {
namespace {

// Known CP437 positions (IBM code page 437 as published by Unicode,
// ftp.unicode.org/Public/MAPPINGS/VENDORS/MICSFT/PC/CP437.TXT).
struct Cp437Case {
  const char* utf8;
  unsigned char byte;
};

constexpr Cp437Case kCp437Cases[] = {
    {"\xC3\x87", 0x80},      // Ç U+00C7
    {"\xC3\xA9", 0x82},      // é U+00E9
    {"\xC3\x84", 0x8E},      // Ä U+00C4
    {"\xC3\xB1", 0xA4},      // ñ U+00F1
    {"\xE2\x96\x91", 0xB0},  // ░ U+2591
    {"\xC3\x9F", 0xE1},      // ß U+00DF
    {"\xCE\xA3", 0xE4},      // Σ U+03A3
    {"\xC2\xB5", 0xE6},      // µ U+00B5
    {"\xE2\x88\x9E", 0xEC},  // ∞ U+221E
    {"\xC2\xA0", 0xFF},      // no-break space U+00A0
};

TEST(Cp437Test, KnownCodePointsConvertBothWays) {
  for (const Cp437Case& c : kCp437Cases) {
    const std::string byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(Utf8ToCp437(c.utf8), byte) << "to CP437: " << c.utf8;
    EXPECT_EQ(Cp437ToUtf8(byte), c.utf8) << "from CP437: byte " << int{c.byte};
  }
}

TEST(Cp437Test, AsciiIsUnchangedIncludingControlBytes) {
  std::string ascii;
  for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp437(ascii), ascii);
  EXPECT_EQ(Cp437ToUtf8(ascii), ascii);
}

TEST(Cp437Test, EveryByteRoundTripsThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp437(Cp437ToUtf8(byte)), byte) << "byte " << b;
  }
}

TEST(Cp437Test, CharactersWithoutCp437FormBecomeUnderscore) {
  EXPECT_EQ(Utf8ToCp437("\xE2\x82\xAC"), "_");  // € U+20AC
  EXPECT_EQ(Utf8ToCp437("\xC5\x81\xC3\xB3"
                        "d\xC5\xBA"),  // Łódź
            "_\xA2"
            "d_");
  EXPECT_EQ(Utf8ToCp437("\xF0\x9F\x98\x80.txt"), "_.txt");  // emoji, one '_'
  EXPECT_EQ(Utf8ToCp437("\xC3\x80"), "_");  // À: no best-fit to 'A'
}

TEST(Cp437Test, InvalidUtf8BytesBecomeOneUnderscoreEach) {
  EXPECT_EQ(Utf8ToCp437("a\x80z"), "a_z");             // stray continuation
  EXPECT_EQ(Utf8ToCp437("a\xC3"), "a_");               // truncated at the end
  EXPECT_EQ(Utf8ToCp437("\xE2\x82z"), "__z");          // truncated inside
  EXPECT_EQ(Utf8ToCp437("\xC0\xAF"), "__");            // overlong '/'
  EXPECT_EQ(Utf8ToCp437("\xED\xA0\x80"), "___");       // surrogate U+D800
  EXPECT_EQ(Utf8ToCp437("\xF4\x90\x80\x80"), "____");  // above U+10FFFF
  EXPECT_EQ(Utf8ToCp437("\xFF"), "_");
}

TEST(Utf8SequenceLengthTest, LeadBytes) {
  EXPECT_EQ(Utf8SequenceLength('a'), 1);
  EXPECT_EQ(Utf8SequenceLength(0x80), 1);
  EXPECT_EQ(Utf8SequenceLength(0xBF), 1);
  EXPECT_EQ(Utf8SequenceLength(0xC1), 1);
  EXPECT_EQ(Utf8SequenceLength(0xC2), 2);
  EXPECT_EQ(Utf8SequenceLength(0xDF), 2);
  EXPECT_EQ(Utf8SequenceLength(0xE0), 3);
  EXPECT_EQ(Utf8SequenceLength(0xEF), 3);
  EXPECT_EQ(Utf8SequenceLength(0xF0), 4);
  EXPECT_EQ(Utf8SequenceLength(0xF4), 4);
  EXPECT_EQ(Utf8SequenceLength(0xF5), 1);
  EXPECT_EQ(Utf8SequenceLength(0xFF), 1);
}

TEST(Utf8SequenceLengthTest, SequencesInTextCountOnlyWhenComplete) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xC3z\xE2\x82";
  EXPECT_EQ(Utf8SequenceLength(text, 0), 1u);
  EXPECT_EQ(Utf8SequenceLength(text, 1), 2u);  // é
  EXPECT_EQ(Utf8SequenceLength(text, 3), 3u);  // €
  EXPECT_EQ(Utf8SequenceLength(text, 6), 1u) << "lead byte before 'z'";
  EXPECT_EQ(Utf8SequenceLength(text, 8), 1u) << "cut off at the end";
  EXPECT_EQ(Utf8SequenceLength(text, 9), 1u) << "stray continuation";
}

struct CaseRow {
  const char* lower;
  const char* upper;
  const char* what;
};

// Pairs that map both ways under the simple case mapping.
constexpr CaseRow kCasePairs[] = {
    {"filelist.cfg", "FILELIST.CFG", "ASCII"},
    {"caf\xC3\xA9", "CAF\xC3\x89", "e acute"},
    {"\xC3\xA4\xC3\xB6\xC3\xBC", "\xC3\x84\xC3\x96\xC3\x9C", "umlauts"},
    {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
     "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2", "Cyrillic"},
    {"\xCE\xB1\xCE\xB2\xCE\xB3\xCF\x89", "\xCE\x91\xCE\x92\xCE\x93\xCE\xA9",
     "Greek"},
    {"\xC5\x82\xC3\xB3\xC5\xBA", "\xC5\x81\xC3\x93\xC5\xB9",
     "Latin Extended-A, alternating pairs"},
    {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", "Deseret, four-byte"},
    {"a1_-. ~", "A1_-. ~", "non-letters unchanged"},
};

TEST(CaseTest, SimpleMappingPairs) {
  for (const CaseRow& row : kCasePairs) {
    EXPECT_EQ(Utf8UpperCase(row.lower), row.upper) << row.what;
    EXPECT_EQ(Utf8LowerCase(row.upper), row.lower) << row.what;
  }
}

TEST(CaseTest, SimpleMappingKeepsLengthInCharacters) {
  EXPECT_EQ(Utf8UpperCase("stra\xC3\x9F"
                          "e"),
            "STRA\xC3\x9F"
            "E");                                            // ß stays
  EXPECT_EQ(Utf8UpperCase("\xEF\xAC\x81"), "\xEF\xAC\x81");  // ﬁ ligature stays
  EXPECT_EQ(Utf8UpperCase("\xCF\x82"), "\xCE\xA3");          // final sigma
  EXPECT_EQ(Utf8LowerCase("\xCE\xA3"), "\xCF\x83");          // Σ -> σ
  EXPECT_EQ(Utf8LowerCase("\xC4\xB0"), "i");                 // İ -> i
  EXPECT_EQ(Utf8UpperCase("\xC3\xBF"), "\xC5\xB8");          // ÿ -> Ÿ
}

TEST(CaseTest, InvalidBytesAreCopiedUnchanged) {
  EXPECT_EQ(Utf8UpperCase("a\x80"
                          "b\xC3"),
            "A\x80"
            "B\xC3");
  EXPECT_EQ(Utf8LowerCase("A\xFF"
                          "B"),
            "a\xFF"
            "b");
}

TEST(CaseTest, IndependentOfProcessLocale) {
  // Turkish rules would map 'i' to 'İ'; the simple mapping does not.
  EXPECT_EQ(Utf8UpperCase("i"), "I");
  EXPECT_EQ(Utf8LowerCase("I"), "i");
}

}  // namespace
}  // namespace tessaly::platform
