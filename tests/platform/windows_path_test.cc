// Paths on a double-byte ANSI code page: a '\' byte that ends a character is
// part of the name, not a delimiter. Wine runs with Shift JIS (932) under a
// Japanese locale (LANG=ja_JP.UTF-8); on other code pages these are skipped.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/path.h"
#include "tests/support/temp_dir.h"

#include "platform/windows/win32.h"

namespace tessaly::platform {
namespace {

// Shift JIS characters whose second byte is 0x5C, the byte of '\'.
const std::string kTable = "\x95\x5C";  // U+8868
const std::string kSo = "\x83\x5C";     // U+30BD katakana so

class DoubleBytePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 932) GTEST_SKIP() << "ANSI code page " << GetACP();
  }
};

TEST_F(DoubleBytePathTest, SecondByteBackslashIsNoDelimiter) {
  const std::string folder = "C:\\data\\" + kTable;
  EXPECT_EQ(ExtractFileName(folder), kTable);
  EXPECT_EQ(ExtractFilePath(folder), "C:\\data\\");
  EXPECT_EQ(ExtractFileDir(folder + "\\a.txt"), folder);
  EXPECT_EQ(IncludeTrailingPathDelimiter(folder), folder + "\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(folder), folder);
  EXPECT_EQ(ExcludeTrailingPathDelimiter(folder + "\\"), folder);
  EXPECT_FALSE(IsPathDelimiter(folder, folder.size() - 1));
  EXPECT_TRUE(IsPathDelimiter(folder + "\\", folder.size()));
  EXPECT_EQ(ExtractFileExt(kSo + ".t" + kSo), ".t" + kSo);
  EXPECT_EQ(ExpandFileName(kSo + "\\" + kTable, "C:\\data"),
            "C:\\data\\" + kSo + "\\" + kTable);
  EXPECT_EQ(ExtractRelativePath("C:\\data\\" + kSo + "\\a.txt",
                                "C:\\data\\" + kTable + "\\b.txt"),
            "..\\" + kTable + "\\b.txt");
}

TEST_F(DoubleBytePathTest, FoldersNamedWithSuchCharactersAreUsable) {
  Env& env = Env::Default();
  test::TempDir dir;
  const std::string folder = dir.path() + kTable;
  // Wine keeps names in the Unix locale's character set; without an
  // installed Japanese locale it cannot hold the character at all.
  const std::wstring probe =
      std::wstring(dir.path().begin(), dir.path().end()) + L"\u8868probe";
  if (!CreateDirectoryW(probe.c_str(), nullptr)) {
    GTEST_SKIP() << "the file system cannot hold U+8868 here";
  }
  RemoveDirectoryW(probe.c_str());
  ASSERT_TRUE(env.CreateDir(folder));
  const std::string file = IncludeTrailingPathDelimiter(folder) + kSo + ".txt";
  ASSERT_NE(env.OpenFile(file, kOpenCreate), nullptr);
  std::vector<std::string> names;
  for (const FoundFile& f : env.FindFiles(folder + "\\*.txt", 0)) {
    names.push_back(f.name);
  }
  EXPECT_EQ(names, std::vector<std::string>{kSo + ".txt"});
  EXPECT_GT(env.FreeSpace(IncludeTrailingPathDelimiter(folder) + "x\\y.zip"),
            0);
  EXPECT_TRUE(env.RemoveTree(folder));
  EXPECT_FALSE(env.DirectoryExists(folder));
}

}  // namespace
}  // namespace tessaly::platform
