// How entry names are written and read back: the OEM code page where it
// holds the name, UTF-8 with general purpose bit 11 where it does not.
#include "engine/format/entry_name.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/format/signatures.h"
#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

TEST(EncodeEntryNameTest, FlagsChooseTheEncoding) {
  const std::string name = test::Ansi("\xC3\x84rger.txt");  // Ärger.txt
  ASSERT_FALSE(name.empty());
  for (const bool oem : {true, false}) {
    EXPECT_EQ(EncodeEntryName(name, 0x0800, oem), "\xC3\x84rger.txt")
        << "bit 11: UTF-8, oem " << oem;
    EXPECT_EQ(EncodeEntryName("a/b.txt", 0x0809, oem), "a/b.txt");
  }
  EXPECT_EQ(EncodeEntryName(name, 0, true), "\x8Erger.txt") << "CP437 or 850";
  EXPECT_EQ(EncodeEntryName(name, 0, false), name);
}

TEST(NameEncodingFlagTest, OnlyNamesTheOemCodePageLacksAreFlagged) {
  EXPECT_EQ(NameEncodingFlag("plain/name.txt", true), 0);
  EXPECT_EQ(NameEncodingFlag(test::Ansi("\xC3\x84rger.txt"), true), 0);
  EXPECT_EQ(NameEncodingFlag("", true), 0);
  // The euro sign is in the ANSI code page (1252) but in neither CP437 nor
  // CP850.
  const std::string euro = test::Ansi("\xE2\x82\xAC.dat");
  ASSERT_FALSE(euro.empty());
  EXPECT_EQ(NameEncodingFlag(euro, true), kFlagUtf8Name);
  EXPECT_EQ(NameEncodingFlag(euro, false), 0) << "ANSI names are never flagged";
  EXPECT_EQ(EncodeEntryName(euro, kFlagUtf8Name, true), "\xE2\x82\xAC.dat");
  if (test::AnsiIsUtf8()) {
    EXPECT_EQ(NameEncodingFlag("\xE4\xB8\xAD.dat", true), kFlagUtf8Name);  // 中
    EXPECT_EQ(NameEncodingFlag("\xF0\x9F\x98\x80", true), kFlagUtf8Name);  // 😀
    // Bytes that are no UTF-8 have no UTF-8 form: the OEM form, with '_'.
    EXPECT_EQ(NameEncodingFlag("D\xE9ta.dat", true), 0);
    EXPECT_EQ(NameEncodingFlag("\xED\xA0\x80.dat", true), 0) << "surrogate";
    EXPECT_EQ(NameEncodingFlag("\xC0\xAF.dat", true), 0) << "overlong";
  }
}

TEST(WrittenEntryNameTest, IsTheNameAReaderGetsBack) {
  const std::string umlaut = test::Ansi("\xC3\x84rger.txt");
  const std::string euro = test::Ansi("\xE2\x82\xAC.dat");
  for (const bool oem : {true, false}) {
    EXPECT_EQ(WrittenEntryName(umlaut, oem), umlaut);
    EXPECT_EQ(WrittenEntryName(euro, oem), euro);
  }
  if (test::AnsiIsUtf8()) {
    EXPECT_EQ(WrittenEntryName("D\xE9ta.dat", true), "D_ta.dat");
    EXPECT_EQ(WrittenEntryName("D\xE9ta.dat", false), "D\xE9ta.dat");
  }
}

TEST(VersionForNameTest, Utf8NamesClaimHostNtfs) {
  EXPECT_EQ(VersionForName(0x0014, 0), 0x0014);
  EXPECT_EQ(VersionForName(0x0B14, 0), 0x0B14);
  EXPECT_EQ(VersionForName(0x002D, kFlagEncrypted), 0x002D);
  EXPECT_EQ(VersionForName(0x0014, kFlagUtf8Name), 0x0B14);
  EXPECT_EQ(VersionForName(0x002D, kFlagUtf8Name | kFlagFolder), 0x0B2D);
}

TEST(DecodeEntryNameTest, ReadsWhatEncodeWrote) {
  const std::string umlaut = test::Ansi("\xC3\x84rger.txt");
  EXPECT_EQ(DecodeEntryName("\x8Erger.txt", 0, true), umlaut);
  EXPECT_EQ(DecodeEntryName("\xC3\x84rger.txt", kFlagUtf8Name, true), umlaut);
  EXPECT_EQ(DecodeEntryName("\xC3\x84rger.txt", kFlagUtf8Name, false), umlaut);
  EXPECT_EQ(DecodeEntryName(std::string("a.txt\0junk", 10), 0, true), "a.txt")
      << "a name ends at a NUL byte";
}

}  // namespace
}  // namespace tessaly::engine
