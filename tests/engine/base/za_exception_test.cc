#include "engine/base/za_exception.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/component.h"

namespace tessaly::engine {
namespace {

// Message number -> the codes that select it.
const std::map<int, std::vector<int>>& CodesByMessage() {
  static const std::map<int, std::vector<int>> table = {
      {0, {0}},
      {1, {1, 2, 3, 4, 7, 16, 21, 24}},
      {2, {5}},
      {3, {6}},
      {4, {8}},
      {5, {9, 10, 29}},
      {6, {11, 12, 15, 18, 30, 31, 38, 42, 53, 54}},
      {7, {13, 14}},
      {8, {17}},
      {9, {19, 23}},
      {10, {20}},
      {11, {22, 25}},
      {12, {33}},
      {13, {26}},
      {14, {27}},
      {15, {28}},
      {16, {32}},
      {17, {34}},
      {18, {35}},
      {19, {36}},
      {20, {37}},
      {21, {39}},
      {22, {40}},
      {23, {41, 43}},
      {24, {44, 45}},
      {25, {46}},
      {26, {47}},
      {27, {48, 57}},
      {28, {49}},
      {29, {50}},
      {30, {51}},
      {31, {52}},
      {32, {55}},
      {33, {56}},
      {34, {58, 59}},
      {35, {60}},
      {36, {61}},
      {37, {62}},
      {38, {63}},
  };
  return table;
}

TEST(EngineCodeTableTest, EveryCodeSelectsItsMessage) {
  std::map<int, int> expected;
  for (const auto& [message, codes] : CodesByMessage()) {
    for (int code : codes) {
      ASSERT_TRUE(expected.emplace(code, message).second) << "code " << code;
    }
  }
  ASSERT_EQ(expected.size(), 64u);
  for (int code = 0; code < 64; ++code) {
    ASSERT_EQ(expected.count(code), 1u) << "code " << code;
    EZAException e(code);
    EXPECT_EQ(e.ErrorCode(), expected[code]) << "code " << code;
    EXPECT_EQ(e.NativeError(), code);
    EXPECT_EQ(EngineMessageNumber(code), expected[code]) << "code " << code;
  }
}

// The names keep the numbers that messages print and hosts compare.
TEST(EngineCodeTableTest, NamedCodesKeepTheirNumbers) {
  const std::map<EngineCode, int> numbers = {
      {kCodePutItemIndex, 1},        {kCodeGetItemIndex, 2},
      {kCodeItemPtrIndex, 3},        {kCodeDeleteItemIndex, 4},
      {kCodeCompressionMode, 5},     {kCodeNoArchiveStream, 6},
      {kCodeNoOldEntry, 7},          {kCodeNoFileName, 9},
      {kCodeOpenNoFileName, 10},     {kCodeArchiveNotFound, 12},
      {kCodeNotOpen, 13},            {kCodeDeleteFile, 27},
      {kCodeInMemoryCreateOnly, 28}, {kCodeInMemoryNoFileName, 29},
      {kCodeReadOnly, 32},           {kCodeOpenFile, 33},
      {kCodeCompressedSize, 34},     {kCodeNoLocalHeader, 35},
      {kCodeRenameVolume, 36},       {kCodeZip64EndRecord, 40},
      {kCodeZip64Size, 41},          {kCodeZip64Header, 43},
      {kCodeMultiVolumeRebuild, 44}, {kCodeVolumeDeclined, 45},
      {kCodeWriteError, 46},         {kCodeStubTooLarge, 47},
      {kCodeOpenFailed, 48},         {kCodeMultiVolumeModified, 52},
      {kCodeDamaged, 57},            {kCodePutItemNames, 58},
      {kCodeRenameItemNames, 59},    {kCodeDeleteFolder, 60},
      {kCodeNameTooLong, 61},        {kCodeMultipleTransactions, 62},
      {kCodeSameName, 63},
  };
  for (const auto& [code, number] : numbers) {
    EXPECT_EQ(static_cast<int>(code), number);
  }
  EXPECT_EQ(numbers.size(), 35u) << "two names for one number";
}

TEST(EngineCodeTableTest, EveryUsedSlotHasTextAndTheSpareSlotsAreEmpty) {
  for (int number = 0; number < 39; ++number) {
    EXPECT_FALSE(EngineMessageText(number).empty()) << "message " << number;
  }
  for (int number : {39, 40, 41, -1}) {
    EXPECT_TRUE(EngineMessageText(number).empty()) << "message " << number;
  }
}

TEST(EZAExceptionTest, ComposesNamePrefixTextAndNativeError) {
  Component zipper;
  zipper.SetName("Zipper");
  EXPECT_STREQ(EZAException(13, &zipper).what(),
               "Zipper: Archive is not open - Native error: 00013");
  EXPECT_EQ(EZAException(3).Message(),
            "Index out of bounds - Native error: 00003");

  Component archiver;
  archiver.SetName("ZipArchiver");
  EXPECT_EQ(EZAException(45, &archiver).Message(),
            "ZipArchiver: Cannot open archive file. Opening aborted or invalid "
            "file - Native error: 00045");
  EXPECT_STREQ(EZAException(0).ClassName(), "EZAException");
}

TEST(EZAExceptionTest, EmptyComponentNameGivesNoPrefix) {
  Component unnamed;
  EXPECT_EQ(EZAException(13, &unnamed).Message(),
            "Archive is not open - Native error: 00013");
}

TEST(EZAExceptionTest, UnknownCodesFallBackToMessageZeroAndKeepTheirNumber) {
  EZAException high(64);
  EXPECT_EQ(high.ErrorCode(), 0);
  EXPECT_EQ(high.NativeError(), 64);
  EXPECT_EQ(high.Message(), "Unknown error - Native error: 00064");

  EZAException negative(-1);
  EXPECT_EQ(negative.ErrorCode(), 0);
  EXPECT_EQ(negative.NativeError(), -1);
  EXPECT_EQ(negative.Message(), "Unknown error - Native error: 000-1");

  EXPECT_EQ(EZAException(123456).Message(),
            "Unknown error - Native error: 123456");
}

TEST(EZAExceptionTest, FormattingFillsPlaceholders) {
  Component zipper;
  zipper.SetName("Zipper");
  EXPECT_EQ(EZAException(12, {"/data/Orvane.zip"}, &zipper).Message(),
            "Zipper: File \"/data/Orvane.zip\" not found - Native error: "
            "00012");
  EXPECT_EQ(EZAException(34, {int64_t{5'000'000'000}, 17}).Message(),
            "Invalid compressed size, rfs.size = 5000000000, count = 17 - "
            "Native error: 00034");
  EXPECT_EQ(EZAException(41, {"big.dat"}, &zipper).Message(),
            "Zipper: Cannot compress file 'big.dat'. Zip64 mode is not "
            "enabled - Native error: 00041");
  EXPECT_EQ(EZAException(kCodeSameName, {"/d/a.txt", "/d/b/A.txt", "A.txt"},
                         &zipper)
                .Message(),
            "Zipper: Files \"/d/a.txt\" and \"/d/b/A.txt\" would be stored "
            "under the same name \"A.txt\" - Native error: 00063");
}

TEST(EZAExceptionTest, ExactTextsKeepTheirOriginalSpelling) {
  EXPECT_EQ(EZAException(61, {"/long/name"}).Message(),
            "File name is too long: \r\n\"/long/name\" - Native error: 00061");
  EXPECT_EQ(EZAException(37).Message(),
            "Archive is open. You should close it beore performing this "
            "operation. - Native error: 00037");
  EXPECT_EQ(EZAException(49).Message(),
            "MakeSFX is not allowed for splitted or spanned archives. Set "
            "SFXStub before archive creation instead of MakeSFX - Native "
            "error: 00049");
  EXPECT_EQ(EZAException(48).Message(),
            "Archive is damaged. Open failed - Native error: 00048");
  EXPECT_EQ(EZAException(62).Message(),
            "Multiple transactions are not supported for multi-volume "
            "archives - Native error: 00062");
}

TEST(EZAExceptionTest, SurplusArgumentIsIgnored) {
  Component zipper;
  zipper.SetName("Zipper");
  EXPECT_EQ(EZAException(28, {"mem.zip"}, &zipper).Message(),
            "Zipper: In-memory archive can be created only - Native error: "
            "00028");
  EXPECT_EQ(EZAException(28, {"mem.zip"}).Message(),
            "In-memory archive can be created only - Native error: 00028");
}

TEST(EZAExceptionTest, MissingArgumentLeavesPlaceholder) {
  EXPECT_EQ(EZAException(34, {10}).Message(),
            "Invalid compressed size, rfs.size = 10, count = %d - Native "
            "error: 00034");
  // The plain form never formats.
  EXPECT_EQ(EZAException(12).Message(),
            "File \"%s\" not found - Native error: 00012");
}

TEST(EZAExceptionTest, NameIsCopiedNotReferenced) {
  auto archiver = std::make_unique<Component>();
  archiver->SetName("Zipper");
  EZAException e(13, archiver.get());
  archiver.reset();
  EXPECT_EQ(e.Message(), "Zipper: Archive is not open - Native error: 00013");
}

TEST(EZAExceptionTest, CaughtAsThePlatformException) {
  try {
    throw EZAException(46);
  } catch (const platform::Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EZAException");
    EXPECT_STREQ(e.what(), "Write to stream error - Native error: 00046");
  }
}

}  // namespace
}  // namespace tessaly::engine
