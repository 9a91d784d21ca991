#include "engine/io/path_rules.h"

#include <ostream>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace tessaly::engine {
namespace {

using platform::PathSyntax;

// Windows: current folder C:\work\ and existing folders C:\data\,
// C:\data\sub\ (also reached as \data\sub\ from the current drive),
// C:\work\ and the roots. POSIX: the same folders under "/".
PathContext WindowsContext() {
  PathContext c;
  c.syntax = PathSyntax::kWindows;
  c.current_base_dir = "C:\\data\\";
  c.base_dir = "C:\\data\\";
  c.folder_exists = [](const std::string& path) {
    static const std::set<std::string> folders = {
        "C:\\data\\", "C:\\data\\sub\\", "C:\\work\\", "C:\\",
        "\\",         "\\data\\sub\\"};
    return folders.count(path) > 0;
  };
  c.current_folder = [] { return std::string("C:\\work\\"); };
  return c;
}

PathContext PosixContext() {
  PathContext c;
  c.syntax = PathSyntax::kPosix;
  c.current_base_dir = "/data/";
  c.base_dir = "/data/";
  c.folder_exists = [](const std::string& path) {
    static const std::set<std::string> folders = {"/data/", "/data/sub/",
                                                  "/work/", "/"};
    return folders.count(path) > 0;
  };
  c.current_folder = [] { return std::string("/work/"); };
  return c;
}

PathContext ContextFor(PathSyntax syntax) {
  return syntax == PathSyntax::kWindows ? WindowsContext() : PosixContext();
}

const char* SyntaxName(PathSyntax syntax) {
  return syntax == PathSyntax::kWindows ? "windows" : "posix";
}

// ---- ResolvePath -----------------------------------------------------------

struct ResolvePathCase {
  PathSyntax syntax;
  const char* base;
  const char* name;
  const char* default_base;
  const char* expected;
  const char* why;
};

std::ostream& operator<<(std::ostream& os, const ResolvePathCase& c) {
  return os << SyntaxName(c.syntax) << " (" << c.base << ", " << c.name << ", "
            << c.default_base << "): " << c.why;
}

class ResolvePathTest : public testing::TestWithParam<ResolvePathCase> {};

TEST_P(ResolvePathTest, Resolves) {
  const ResolvePathCase& c = GetParam();
  EXPECT_EQ(ResolvePath(ContextFor(c.syntax), c.base, c.name, c.default_base),
            c.expected);
}

constexpr PathSyntax kWin = PathSyntax::kWindows;
constexpr PathSyntax kPosix = PathSyntax::kPosix;

INSTANTIATE_TEST_SUITE_P(
    Table, ResolvePathTest,
    testing::Values(
        ResolvePathCase{kWin, "C:\\data", "a.dat", "", "C:\\data\\a.dat",
                        "name in base"},
        ResolvePathCase{kWin, "", "a.dat", "C:\\data\\", "C:\\data\\a.dat",
                        "empty base takes the default"},
        ResolvePathCase{kWin, "C:\\data", "sub\\..\\a.dat", "",
                        "C:\\data\\a.dat", "expanded"},
        ResolvePathCase{kWin, "C:\\data", "D:\\x\\..\\y", "", "D:\\x\\..\\y",
                        "drive name unchanged"},
        ResolvePathCase{kWin, "C:\\data", "\\\\srv\\share\\x", "",
                        "\\\\srv\\share\\x", "share name unchanged"},
        ResolvePathCase{kWin, "D:\\data", "\\x\\y", "", "C:\\x\\y",
                        "rooted name on the current drive"},
        ResolvePathCase{kWin, "", "out.zip", "", "C:\\work\\out.zip",
                        "no folder at all: the current folder"},
        ResolvePathCase{kWin, "C:\\data", "", "", "C:\\data",
                        "base with a drive unchanged"},
        ResolvePathCase{kWin, "\\data\\sub", "", "", "C:\\data\\sub\\",
                        "existing folder expanded, with delimiter"},
        ResolvePathCase{kWin, "D:", "", "", "D:", "base with colon"},
        ResolvePathCase{kWin, "missing", "", "C:\\data", "missing",
                        "missing base unchanged"},
        ResolvePathCase{kWin, "", "", "", "C:\\work\\", "current folder"},
        ResolvePathCase{kWin, "\\", "", "", "C:\\work\\",
                        "lone separator: current folder"},
        ResolvePathCase{kWin, "", "", "C:\\data", "C:\\data\\",
                        "default folder"},
        ResolvePathCase{kPosix, "/data", "a.dat", "", "/data/a.dat",
                        "name in base"},
        ResolvePathCase{kPosix, "/data", "/x/../y", "", "/y",
                        "absolute name expanded"},
        ResolvePathCase{kPosix, "/data", "C:x", "", "/data/C:x",
                        "a colon is a name character"},
        ResolvePathCase{kPosix, "/data", "\\\\x", "", "/data/\\\\x",
                        "backslashes are name characters"},
        ResolvePathCase{kPosix, "", "out.zip", "", "/work/out.zip",
                        "no folder at all: the current folder"},
        ResolvePathCase{kPosix, "/", "", "", "/", "the root stays the root"},
        ResolvePathCase{kPosix, "", "", "", "/work/", "current folder"},
        ResolvePathCase{kPosix, "missing", "", "/data", "missing",
                        "missing base unchanged"},
        ResolvePathCase{kPosix, "/data/sub", "", "", "/data/sub/",
                        "existing folder with delimiter"}));

// ---- ResolveMask -----------------------------------------------------------

struct ResolveMaskCase {
  PathSyntax syntax;
  const char* mask;
  const char* folder;
  const char* path;
  bool plain;
};

std::ostream& operator<<(std::ostream& os, const ResolveMaskCase& c) {
  return os << SyntaxName(c.syntax) << " mask '" << c.mask << "' in '"
            << c.folder << "'";
}

class ResolveMaskTest : public testing::TestWithParam<ResolveMaskCase> {};

TEST_P(ResolveMaskTest, Resolves) {
  const ResolveMaskCase& c = GetParam();
  const ResolvedMask r = ResolveMask(ContextFor(c.syntax), c.mask, c.folder);
  EXPECT_EQ(r.path, c.path);
  EXPECT_EQ(r.plain, c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveMaskTest,
    testing::Values(
        ResolveMaskCase{kWin, "", "C:\\data", "", false},
        ResolveMaskCase{kWin, "\\", "C:\\data", "C:\\data", false},
        ResolveMaskCase{kWin, "/", "C:\\data", "C:\\data", false},
        ResolveMaskCase{kWin, "\\\\srv\\x\\*.*", "C:\\data", "\\\\srv\\x\\*.*",
                        false},
        ResolveMaskCase{kWin, "\\sub\\*.dat", "C:\\data",
                        "C:\\data\\sub\\*.dat", false},
        ResolveMaskCase{kWin, ".\\*.dat", "C:\\data", "C:\\data\\*.dat", false},
        ResolveMaskCase{kWin, "./*.dat", "C:\\data", "C:\\data\\*.dat", false},
        ResolveMaskCase{kWin, "D:\\*.dat", "C:\\data", "D:\\*.dat", false},
        ResolveMaskCase{kWin, "sub/../*.dat", "C:\\data", "sub\\..\\*.dat",
                        false},
        ResolveMaskCase{kWin, "..\\*.dat", "C:\\data", "..\\*.dat", false},
        ResolveMaskCase{kWin, "*.dat", "C:\\data", "C:\\data\\*.dat", true},
        ResolveMaskCase{kWin, "*.dat", "C:\\data\\sub", "C:\\data\\sub\\*.dat",
                        true},
        ResolveMaskCase{kWin, "*.dat", "", "C:\\data\\*.dat", true},
        ResolveMaskCase{kWin, "C:/data/sub/*.dat", "C:\\data",
                        "C:\\data\\sub\\*.dat", false},
        ResolveMaskCase{kWin, "sub/*.dat", "C:/data", "C:\\data\\sub\\*.dat",
                        true},
        ResolveMaskCase{kPosix, "/", "/data", "/data/", false},
        ResolveMaskCase{kPosix, "/x/*.dat", "/data", "/x/*.dat", false},
        ResolveMaskCase{kPosix, "./*.dat", "/data", "/data/*.dat", false},
        ResolveMaskCase{kPosix, "../*.dat", "/data", "../*.dat", false},
        ResolveMaskCase{kPosix, "..\\*.dat", "/data", "/data/..\\*.dat", true},
        ResolveMaskCase{kPosix, "C:*.dat", "/data", "/data/C:*.dat", true},
        ResolveMaskCase{kPosix, "*.dat", "/data/sub", "/data/sub/*.dat",
                        true}));

// ---- PathMatchesMask -------------------------------------------------------

struct MatchCase {
  PathSyntax syntax;
  const char* path;
  const char* mask;
  bool is_folder;
  bool expected;
  const char* why;
};

std::ostream& operator<<(std::ostream& os, const MatchCase& c) {
  return os << SyntaxName(c.syntax) << " '" << c.path << "' vs '" << c.mask
            << "': " << c.why;
}

class PathMatchesMaskTest : public testing::TestWithParam<MatchCase> {};

TEST_P(PathMatchesMaskTest, Matches) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(PathMatchesMask(ContextFor(c.syntax), c.path, c.mask, c.is_folder),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, PathMatchesMaskTest,
    testing::Values(
        MatchCase{kWin, "C:\\data\\readme", "*.*", false, true,
                  "*.* takes everything, also without a dot"},
        MatchCase{kWin, "C:\\data\\a.tmp", "*.tmp", false, true,
                  "plain mask, base folder"},
        MatchCase{kWin, "C:\\data\\sub\\deep\\a.TMP", "*.tmp", false, true,
                  "plain mask, any folder below"},
        MatchCase{kWin, "C:\\data\\a.dat", "*.tmp", false, false,
                  "plain mask, other extension"},
        MatchCase{kWin, "C:\\data\\sub\\tmp1", "tmp*", true, true,
                  "folder by a mask ending in *"},
        MatchCase{kWin, "C:\\data\\x.tmp", "*.tmp", true, false,
                  "a folder needs the mask to end in * or a delimiter"},
        MatchCase{kWin, "C:\\data\\sub\\a.dat", "C:\\data\\sub\\*.*", false,
                  true, "path mask, same folder"},
        MatchCase{kWin, "C:\\data\\sub\\deeper\\b.rpt", "C:\\data\\sub\\*.*",
                  false, true, "path mask *.* takes folders below"},
        MatchCase{kWin, "C:\\data\\sub", "C:\\data\\sub\\*.*", true, false,
                  "the folder itself has no dot"},
        MatchCase{kWin, "C:\\data\\sub\\deeper", "C:\\data\\sub\\*.*", true,
                  true, "a folder below"},
        MatchCase{kWin, "C:\\data\\subx\\a.dat", "C:\\data\\sub\\*.*", false,
                  false, "a sibling with a longer name is not below"},
        MatchCase{kWin, "C:\\data\\sub\\deeper\\b.rpt", "C:\\data\\sub\\*.rpt",
                  false, false, "only *.* reaches below"},
        MatchCase{kWin, "C:\\DATA\\Orvane.ZIP", "C:\\data\\orvane.zip", false,
                  true, "full name, letter case ignored"},
        MatchCase{kWin, "C:\\data\\sub\\a.tmp", "\\sub\\*.tmp", false, true,
                  "rooted mask is taken in the base folder"},
        MatchCase{kWin, "C:\\data\\sub\\a.dat", "C:\\data\\sub/*.*", false,
                  true, "a mask written with '/'"},
        MatchCase{kWin, "C:/data/sub/deeper\\b.rpt", "C:\\data\\sub\\*.*",
                  false, true, "a path written with '/'"},
        MatchCase{kWin, "C:\\data\\sub\\a.dat", "C:/data/sub/a.DAT", false,
                  true, "a full name written with '/'"}));

INSTANTIATE_TEST_SUITE_P(
    Posix, PathMatchesMaskTest,
    testing::Values(
        MatchCase{kPosix, "/data/readme", "*.*", false, true,
                  "*.* takes everything"},
        MatchCase{kPosix, "/data/sub/deep/a.tmp", "*.tmp", false, true,
                  "plain mask, any folder"},
        MatchCase{kPosix, "/data/sub/a.dat", "/data/sub/*.*", false, true,
                  "path mask, same folder"},
        MatchCase{kPosix, "/data/sub/deeper/b.rpt", "/data/sub/*.*", false,
                  true, "path mask *.* takes folders below"},
        MatchCase{kPosix, "/data/sub", "/data/sub/*.*", true, false,
                  "the folder itself has no dot"},
        MatchCase{kPosix, "/data/Orvane.zip", "/data/Orvane.zip", false, true,
                  "the archive's full name"},
        MatchCase{kPosix, "/data/sub/Orvane.zip", "/data/Orvane.zip", false,
                  false, "same name elsewhere"},
        MatchCase{kPosix, "/data/a\\b.tmp", "*.tmp", false, true,
                  "a backslash is part of the name"},
        MatchCase{kPosix, "/data/sub\\a.dat", "/data/sub/*.*", false, false,
                  "'sub\\a.dat' is a name in /data, not in sub"},
        MatchCase{kPosix, "/data/sub/a.dat", "/data/sub\\*.*", false, false,
                  "nor is a mask's backslash a "
                  "delimiter"}));

// ---- MakeStoredName --------------------------------------------------------

struct StoredNameCase {
  PathSyntax syntax;
  const char* path;
  const char* root;
  TZAStorePathMode mode;
  const char* expected;
  const char* why;
};

std::ostream& operator<<(std::ostream& os, const StoredNameCase& c) {
  return os << SyntaxName(c.syntax) << " '" << c.path << "' root '" << c.root
            << "' mode " << static_cast<int>(c.mode) << ": " << c.why;
}

class MakeStoredNameTest : public testing::TestWithParam<StoredNameCase> {};

TEST_P(MakeStoredNameTest, Forms) {
  const StoredNameCase& c = GetParam();
  const PathContext context = ContextFor(c.syntax);
  EXPECT_EQ(
      MakeStoredName(context, c.path, c.root, c.mode, context.current_base_dir),
      c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, MakeStoredNameTest,
    testing::Values(
        StoredNameCase{kWin, "C:\\data\\a.dat", "C:\\data\\", spNoPath, "a.dat",
                       "no path"},
        StoredNameCase{kWin, "C:\\data\\a.dat", "C:\\data\\", spRelativePath,
                       "a.dat", "relative"},
        StoredNameCase{kWin, "C:\\data\\a.dat", "C:\\data\\", spFullPath,
                       "data/a.dat", "full path loses the drive"},
        StoredNameCase{kWin, "C:\\data\\a.dat", "C:\\data\\",
                       spFullPathWithDrive, "C:/data/a.dat", "with drive"},
        StoredNameCase{kWin, "C:\\data\\sub\\b.rpt", "C:\\data\\",
                       spRelativePath, "sub/b.rpt", "below the root"},
        StoredNameCase{kWin, "D:\\other\\c.bmp", "C:\\data\\", spRelativePath,
                       "other/c.bmp", "other drive keeps its path"},
        StoredNameCase{kWin, "C:\\other\\c.bmp", "C:\\data\\", spRelativePath,
                       "other/c.bmp", "outside the root keeps its path"},
        StoredNameCase{kWin, "\\\\srv\\share\\x.txt", "C:\\data\\", spFullPath,
                       "share/x.txt", "share loses its server"},
        StoredNameCase{kWin, "\\\\srv\\share\\x.txt", "C:\\data\\",
                       spFullPathWithDrive, "srv/share/x.txt",
                       "no leading slash even with the share"},
        StoredNameCase{kWin, "C:\\data\\sub\\", "C:\\data\\", spRelativePath,
                       "sub", "trailing separator dropped"},
        StoredNameCase{kWin, "C:\\data\\sub\\.", "C:\\data\\", spRelativePath,
                       "sub", "trailing dot dropped"},
        StoredNameCase{kWin, "C:\\data\\a.", "C:\\data\\", spRelativePath, "a",
                       "one trailing dot dropped"},
        StoredNameCase{kWin, "C:", "C:\\data\\", spFullPath, "",
                       "a bare drive gives nothing"},
        StoredNameCase{kWin, "sub\\b.rpt", "C:\\data\\", spRelativePath,
                       "sub/b.rpt", "relative name taken in the root"},
        StoredNameCase{kWin, "C:/data/sub/b.rpt", "C:\\data\\", spRelativePath,
                       "sub/b.rpt", "forward slashes"},
        StoredNameCase{kWin, "C:\\data\\..\\..\\evil.dat", "C:\\data\\",
                       spFullPath, "evil.dat", "no parent segments stored"}));

INSTANTIATE_TEST_SUITE_P(
    Posix, MakeStoredNameTest,
    testing::Values(
        StoredNameCase{kPosix, "/data/a.dat", "/data/", spNoPath, "a.dat",
                       "no path"},
        StoredNameCase{kPosix, "/data/a.dat", "/data/", spRelativePath, "a.dat",
                       "relative"},
        StoredNameCase{kPosix, "/data/a.dat", "/data/", spFullPath,
                       "data/a.dat", "full path without leading slash"},
        StoredNameCase{kPosix, "/data/a.dat", "/data/", spFullPathWithDrive,
                       "data/a.dat", "no drives: as the full path"},
        StoredNameCase{kPosix, "/data/sub/b.rpt", "/data/", spRelativePath,
                       "sub/b.rpt", "below the root"},
        StoredNameCase{kPosix, "/other/c.bmp", "/data/", spRelativePath,
                       "other/c.bmp", "outside the root keeps its path"},
        StoredNameCase{kPosix, "/data/sub/", "/data/", spRelativePath, "sub",
                       "trailing separator dropped"},
        StoredNameCase{kPosix, "/data/sub/.", "/data/", spRelativePath, "sub",
                       "trailing dot dropped"},
        StoredNameCase{kPosix, "/data/a\\b.txt", "/data/", spRelativePath,
                       "a\\b.txt", "a backslash is a name character"},
        StoredNameCase{kPosix, "/", "/data/", spFullPath, "",
                       "the root gives nothing"},
        StoredNameCase{kPosix, "sub/b.rpt", "", spRelativePath, "sub/b.rpt",
                       "relative name, root from the base"}));

}  // namespace
}  // namespace tessaly::engine
