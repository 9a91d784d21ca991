#include "platform/path.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace tessaly::platform {
namespace {

constexpr PathSyntax kWin = PathSyntax::kWindows;
constexpr PathSyntax kPos = PathSyntax::kPosix;

struct SplitRow {
  PathSyntax syntax;
  const char* path;
  const char* file_path;  // ExtractFilePath
  const char* dir;        // ExtractFileDir
  const char* name;       // ExtractFileName
  const char* ext;        // ExtractFileExt
  const char* drive;      // ExtractFileDrive
};

std::ostream& operator<<(std::ostream& os, const SplitRow& row) {
  return os << (row.syntax == kWin ? "windows " : "posix ") << '"' << row.path
            << '"';
}

constexpr SplitRow kSplitRows[] = {
    {kWin, "C:\\data\\a.dat", "C:\\data\\", "C:\\data", "a.dat", ".dat", "C:"},
    {kWin, "\\\\srv\\share\\x.txt", "\\\\srv\\share\\", "\\\\srv\\share",
     "x.txt", ".txt", "\\\\srv\\share"},
    {kWin, "D:\\other\\c.bmp", "D:\\other\\", "D:\\other", "c.bmp", ".bmp",
     "D:"},
    {kWin, "C:\\a.dat", "C:\\", "C:\\", "a.dat", ".dat", "C:"},
    {kWin, "C:a.dat", "C:", "C:", "a.dat", ".dat", "C:"},
    {kWin, "C:/mixed\\sep/f", "C:/mixed\\sep/", "C:/mixed\\sep", "f", "", "C:"},
    {kWin, "\\root.txt", "\\", "\\", "root.txt", ".txt", ""},
    {kWin, "dir.d\\name", "dir.d\\", "dir.d", "name", "", ""},
    {kWin, "arc.tar.gz", "", "", "arc.tar.gz", ".gz", ""},
    {kWin, "C:\\data\\", "C:\\data\\", "C:\\data", "", "", "C:"},
    {kWin, "a/b", "a/", "a", "b", "", ""},
    {kPos, "/home/u/a.dat", "/home/u/", "/home/u", "a.dat", ".dat", ""},
    {kPos, "/a.dat", "/", "/", "a.dat", ".dat", ""},
    {kPos, "C:\\data\\a.dat", "", "", "C:\\data\\a.dat", ".dat", ""},
    {kPos, "dir.d/name", "dir.d/", "dir.d", "name", "", ""},
    {kPos, "rel/.hidden", "rel/", "rel", ".hidden", ".hidden", ""},
    {kPos, "a//b", "a//", "a//", "b", "", ""},
    {kPos, "", "", "", "", "", ""},
};

class PathSplitTest : public ::testing::TestWithParam<SplitRow> {};

TEST_P(PathSplitTest, SplitsIntoParts) {
  const SplitRow& r = GetParam();
  EXPECT_EQ(ExtractFilePath(r.path, r.syntax), r.file_path) << "file path";
  EXPECT_EQ(ExtractFileDir(r.path, r.syntax), r.dir) << "dir";
  EXPECT_EQ(ExtractFileName(r.path, r.syntax), r.name) << "name";
  EXPECT_EQ(ExtractFileExt(r.path, r.syntax), r.ext) << "ext";
  EXPECT_EQ(ExtractFileDrive(r.path, r.syntax), r.drive) << "drive";
}

INSTANTIATE_TEST_SUITE_P(Table, PathSplitTest, ::testing::ValuesIn(kSplitRows));

TEST(PathTest, Delimiters) {
  EXPECT_EQ(PathDelimiter(kWin), '\\');
  EXPECT_EQ(PathDelimiter(kPos), '/');
  EXPECT_TRUE(IsPathDelimiter("a\\b", 1, kWin));
  EXPECT_FALSE(IsPathDelimiter("a\\b", 1, kPos));
  EXPECT_TRUE(IsPathDelimiter("a/b", 1, kWin));
  EXPECT_FALSE(IsPathDelimiter("a/b", 3, kPos));  // out of range

  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\data", kWin), "C:\\data\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:/data/", kWin), "C:/data/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("", kWin), "\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a", kPos), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a\\", kPos), "a\\/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\data\\", kWin), "C:\\data");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\data", kWin), "C:\\data");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/", kPos), "");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a\\", kPos), "a\\");

  EXPECT_EQ(NormalizePathDelimiters("C:\\x\\sub/*.*", kWin), "C:\\x\\sub\\*.*");
  EXPECT_EQ(NormalizePathDelimiters("//srv/share/a", kWin),
            "\\\\srv\\share\\a");
  EXPECT_EQ(NormalizePathDelimiters("/x/a\\b/c", kPos), "/x/a\\b/c")
      << "a POSIX backslash is a name character";
}

TEST(PathTest, ChangeFileExt) {
  EXPECT_EQ(ChangeFileExt("C:\\d\\Orvane.zip", ".z01", kWin),
            "C:\\d\\Orvane.z01");
  EXPECT_EQ(ChangeFileExt("C:\\d.x\\Orvane", ".zip", kWin),
            "C:\\d.x\\Orvane.zip");
  EXPECT_EQ(ChangeFileExt("/d/a.tar.gz", "", kPos), "/d/a.tar");
  EXPECT_EQ(ChangeFileExt("/d.x/a", ".b", kPos), "/d.x/a.b");
}

TEST(PathTest, IsAbsolutePath) {
  EXPECT_TRUE(IsAbsolutePath("C:\\x", kWin));
  EXPECT_TRUE(IsAbsolutePath("c:/x", kWin));
  EXPECT_TRUE(IsAbsolutePath("\\\\srv\\share", kWin));
  EXPECT_FALSE(IsAbsolutePath("\\x", kWin));
  EXPECT_FALSE(IsAbsolutePath("C:x", kWin));
  EXPECT_FALSE(IsAbsolutePath("x", kWin));
  EXPECT_TRUE(IsAbsolutePath("/x", kPos));
  EXPECT_FALSE(IsAbsolutePath("C:\\x", kPos));
  EXPECT_FALSE(IsAbsolutePath("", kPos));
}

struct ExpandRow {
  PathSyntax syntax;
  const char* path;
  const char* current_dir;
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const ExpandRow& row) {
  return os << '"' << row.path << "\" in \"" << row.current_dir << '"';
}

constexpr ExpandRow kExpandRows[] = {
    {kWin, "a.dat", "C:\\data", "C:\\data\\a.dat"},
    {kWin, "a.dat", "C:\\data\\", "C:\\data\\a.dat"},
    {kWin, "..\\other\\c.bmp", "C:\\data", "C:\\other\\c.bmp"},
    {kWin, ".\\x\\.\\y", "C:\\data", "C:\\data\\x\\y"},
    {kWin, "\\x", "D:\\data", "D:\\x"},
    {kWin, "\\x", "\\\\srv\\share\\dir", "\\\\srv\\share\\x"},
    {kWin, "C:\\a\\\\b\\..\\..\\..\\c", "D:\\", "C:\\c"},
    {kWin, "C:x", "C:\\data", "C:\\data\\x"},
    {kWin, "c:x", "C:\\data", "c:\\data\\x"},
    {kWin, "E:x", "C:\\data", "E:\\x"},
    {kWin, "//srv/share/a/../b", "C:\\", "\\\\srv\\share\\b"},
    {kWin, "C:/a/b/", "C:\\", "C:\\a\\b\\"},
    {kWin, "..", "C:\\", "C:\\"},
    {kWin, "", "C:\\data", ""},
    {kPos, "a.dat", "/home/u", "/home/u/a.dat"},
    {kPos, "../x/./y//z", "/home/u/", "/home/x/y/z"},
    {kPos, "/a/../../b", "/home", "/b"},
    {kPos, "/a/b/", "/", "/a/b/"},
    {kPos, "/a/b/.", "/", "/a/b"},
    {kPos, ".", "/", "/"},
    {kPos, "dir\\f", "/x", "/x/dir\\f"},
};

class ExpandFileNameTest : public ::testing::TestWithParam<ExpandRow> {};

TEST_P(ExpandFileNameTest, Expands) {
  const ExpandRow& r = GetParam();
  EXPECT_EQ(ExpandFileName(r.path, r.current_dir, r.syntax), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ExpandFileNameTest,
                         ::testing::ValuesIn(kExpandRows));

struct RelativeRow {
  PathSyntax syntax;
  const char* base;
  const char* dest;
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const RelativeRow& row) {
  return os << '"' << row.dest << "\" from \"" << row.base << '"';
}

constexpr RelativeRow kRelativeRows[] = {
    {kWin, "C:\\data\\a.dat", "C:\\data\\b.rpt", "b.rpt"},
    {kWin, "C:\\data\\", "C:\\data\\sub\\b.rpt", "sub\\b.rpt"},
    {kWin, "C:\\data\\a.dat", "C:\\other\\c.bmp", "..\\other\\c.bmp"},
    {kWin, "C:\\DATA\\x\\", "c:\\data\\Y\\c.bmp", "..\\Y\\c.bmp"},
    {kWin, "C:\\data\\a.dat", "D:\\other\\c.bmp", "D:\\other\\c.bmp"},
    {kWin, "\\\\srv\\share\\x.txt", "\\\\SRV\\share\\d\\y.txt", "d\\y.txt"},
    {kWin, "\\\\srv\\share\\x.txt", "\\\\srv\\other\\y.txt",
     "\\\\srv\\other\\y.txt"},
    {kWin, "C:\\a\\b\\c\\", "C:\\x.txt", "..\\..\\..\\x.txt"},
    {kPos, "/home/u/a.dat", "/home/u/sub/b", "sub/b"},
    {kPos, "/home/u/", "/home/v/b", "../v/b"},
    {kPos, "/home/U/", "/home/u/b", "../u/b"},
    {kPos, "/a/", "/a/", ""},
};

class ExtractRelativePathTest : public ::testing::TestWithParam<RelativeRow> {};

TEST_P(ExtractRelativePathTest, Relates) {
  const RelativeRow& r = GetParam();
  EXPECT_EQ(ExtractRelativePath(r.base, r.dest, r.syntax), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ExtractRelativePathTest,
                         ::testing::ValuesIn(kRelativeRows));

}  // namespace
}  // namespace tessaly::platform
