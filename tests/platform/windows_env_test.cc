// What only the Windows environment shows: real attributes, enforced
// sharing, GetTempFileName names, drive letters and kinds, both path
// delimiters, and Windows' refusal to delete or replace.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/path.h"
#include "tests/support/temp_dir.h"

#include "platform/windows/win32.h"

namespace tessaly::platform {
namespace {

class WindowsEnvTest : public ::testing::Test {
 protected:
  // Names found by `pattern` (relative to the folder) under `filter`.
  std::vector<std::string> Found(const std::string& pattern, uint32_t filter) {
    std::vector<std::string> names;
    for (const FoundFile& f : env_.FindFiles(dir_.Join(pattern), filter)) {
      if (f.name != "." && f.name != "..") names.push_back(f.name);
    }
    return names;
  }

  // The last-write time of `path` read natively, as a local DOS date-time.
  static uint32_t NativeDosTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    WORD date = 0, time = 0;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
      return 0;
    }
    return (uint32_t{date} << 16) | time;
  }

  // Sets the last-write time of `path` to a UTC calendar time, natively.
  static bool SetNativeUtcTime(const std::string& path, WORD year) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = 6;
    st.wDay = 15;
    st.wHour = 12;
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    const HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok != 0;
  }

  Env& env_ = Env::Default();
  test::TempDir dir_;
};

using Names = std::vector<std::string>;

TEST_F(WindowsEnvTest, HiddenAndSystemFilesNeedTheirFilterBits) {
  const std::string hidden = dir_.WriteFile("hidden.dat", "x");
  const std::string system = dir_.WriteFile("system.dat", "x");
  const std::string both = dir_.WriteFile("both.dat", "x");
  const std::string locked = dir_.WriteFile("locked.dat", "x");
  ASSERT_TRUE(env_.SetFileAttributes(hidden, 0x22));
  ASSERT_TRUE(env_.SetFileAttributes(system, 0x24));
  ASSERT_TRUE(env_.SetFileAttributes(both, 0x26));
  ASSERT_TRUE(env_.SetFileAttributes(locked, 0x21));
  EXPECT_EQ(env_.FileAttributes(hidden), 0x22);
  EXPECT_EQ(env_.FileAttributes(system), 0x24);
  EXPECT_EQ(env_.FileAttributes(both), 0x26);
  EXPECT_EQ(env_.FileAttributes(locked), 0x21);
  EXPECT_EQ(static_cast<DWORD>(env_.FileAttributes(hidden)),
            GetFileAttributesA(hidden.c_str()) & 0x37)
      << "the system's own attributes";

  EXPECT_EQ(Found("*.dat", 0), Names{"locked.dat"});
  EXPECT_EQ(Found("h*.dat", 0x02), Names{"hidden.dat"});
  EXPECT_EQ(Found("s*.dat", 0x02), Names{}) << "system needs 0x04";
  EXPECT_EQ(Found("s*.dat", 0x04), Names{"system.dat"});
  EXPECT_EQ(Found("b*.dat", 0x04), Names{});
  EXPECT_EQ(Found("b*.dat", 0x06), Names{"both.dat"});
  for (const FoundFile& f : env_.FindFiles(dir_.Join("b*.dat"), 0x06)) {
    EXPECT_EQ(f.attributes, 0x26u) << "found with its attributes";
  }

  ASSERT_TRUE(env_.SetFileAttributes(hidden, 0x20));
  EXPECT_EQ(env_.FileAttributes(hidden), 0x20);
  EXPECT_EQ(Found("h*.dat", 0), Names{"hidden.dat"});
}

TEST_F(WindowsEnvTest, NameOutsideTheAnsiCodePageIsFoundByItsShortName) {
  // U+0416 (Cyrillic Zhe) has no form in the Western code pages.
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  const std::string folder = dir_.path();
  const std::wstring wide =
      std::wstring(folder.begin(), folder.end()) + L"\u0416 report.txt";
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // Wine keeps names in the Unix locale's character set (ASCII for C).
    GTEST_SKIP() << "the file system cannot hold U+0416 here";
  }
  CloseHandle(h);
  const std::vector<FoundFile> found = env_.FindFiles(dir_.Join("*.txt"), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name.find('?'), std::string::npos) << found[0].name;
  EXPECT_TRUE(env_.FileExists(dir_.Join(found[0].name))) << found[0].name;
  EXPECT_NE(env_.OpenFile(dir_.Join(found[0].name), kOpenRead), nullptr);
}

TEST_F(WindowsEnvTest, HiddenFolderNeedsBothFolderAndHiddenBits) {
  const std::string sub = dir_.MakeDir("sub");
  ASSERT_TRUE(env_.SetFileAttributes(sub, 0x02));
  EXPECT_EQ(env_.FileAttributes(sub), 0x12);
  EXPECT_EQ(Found("sub", 0x10), Names{});
  EXPECT_EQ(Found("sub", 0x12), Names{"sub"});
}

TEST_F(WindowsEnvTest, ExclusiveOpenKeepsEveryOtherOpenOut) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  auto first = env_.OpenFile(file, kOpenRead | kShareExclusive);
  ASSERT_NE(first, nullptr);
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile(file, kOpenRead | kShareDenyNone, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied) << "a sharing violation";
  first.reset();
  EXPECT_NE(env_.OpenFile(file, kOpenRead | kShareDenyNone), nullptr)
      << "free again once closed";
}

TEST_F(WindowsEnvTest, DenyWriteAdmitsReadersOnly) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  auto owner = env_.OpenFile(file, kOpenReadWrite | kShareDenyWrite);
  ASSERT_NE(owner, nullptr);
  EXPECT_NE(env_.OpenFile(file, kOpenRead | kShareDenyNone), nullptr);
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile(file, kOpenWrite | kShareDenyNone, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_EQ(env_.OpenFile(file, kOpenCreate, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_EQ(env_.OpenFile(file, kOpenRead | kShareDenyWrite, &error), nullptr)
      << "a second deny-write reader would deny the owner's writing";
}

TEST_F(WindowsEnvTest, DenyReadAdmitsWritersOnly) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  auto owner = env_.OpenFile(file, kOpenWrite | kShareDenyRead);
  ASSERT_NE(owner, nullptr);
  EXPECT_NE(env_.OpenFile(file, kOpenWrite | kShareDenyNone), nullptr);
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile(file, kOpenRead | kShareDenyNone, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
}

TEST_F(WindowsEnvTest, DenyNoneAndCompatAdmitReadersAndWriters) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  for (const uint16_t share : {kShareDenyNone, kShareCompat}) {
    auto owner = env_.OpenFile(file, kOpenReadWrite | share);
    ASSERT_NE(owner, nullptr) << "share " << share;
    auto reader = env_.OpenFile(file, kOpenRead | kShareDenyNone);
    auto writer = env_.OpenFile(file, kOpenWrite | kShareDenyNone);
    ASSERT_NE(reader, nullptr) << "share " << share;
    ASSERT_NE(writer, nullptr) << "share " << share;
    ASSERT_EQ(writer->Write("X", 1), 1);
    char c = 0;
    EXPECT_EQ(reader->Read(&c, 1), 1);
    EXPECT_EQ(c, 'X') << "one file seen through both handles";
    writer->Seek(0);
    writer->Write("a", 1);
  }
}

TEST_F(WindowsEnvTest, CreatedFileAdmitsReadersButNoOtherWriter) {
  const std::string file = dir_.Join("new.dat");
  auto created = env_.OpenFile(file, kOpenCreate);
  ASSERT_NE(created, nullptr);
  ASSERT_EQ(created->Write("abc", 3), 3);
  auto reader = env_.OpenFile(file, kOpenRead | kShareDenyNone);
  ASSERT_NE(reader, nullptr);
  char buffer[4] = {};
  EXPECT_EQ(reader->Read(buffer, 4), 3);
  EXPECT_EQ(std::string(buffer), "abc") << "what was written so far";
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile(file, kOpenWrite | kShareDenyNone, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_EQ(env_.OpenFile(file, kOpenCreate, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_EQ(env_.OpenFile(file, kOpenRead | kShareDenyWrite, &error), nullptr)
      << "a reader that denies writing cannot join a writer";
}

TEST_F(WindowsEnvTest, NoSuchSharingModeIsRefused) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  for (const uint16_t mode : {0x50, 0x60, 0x72, 0x03}) {
    ErrorKind error = ErrorKind::kNone;
    EXPECT_EQ(env_.OpenFile(file, mode, &error), nullptr) << mode;
    EXPECT_EQ(error, ErrorKind::kIOError) << mode;
  }
}

TEST_F(WindowsEnvTest, OpenFileWithAnOpenSharedHandleFailsToDelete) {
  // Windows keeps an open file's name; the handle does not share deletion.
  const std::string file = dir_.WriteFile("a.dat", "abc");
  auto open = env_.OpenFile(file, kOpenRead | kShareDenyNone);
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(env_.RemoveFile(file));
  open.reset();
  EXPECT_TRUE(env_.RemoveFile(file));
}

TEST_F(WindowsEnvTest, TempFileNameTakesThreePrefixCharacters) {
  const std::string name = env_.TempFileName(dir_.path(), "FC");
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(ExtractFilePath(name), dir_.path());
  EXPECT_EQ(ExtractFileName(name).substr(0, 2), "FC") << name;
  EXPECT_EQ(ExtractFileExt(name), ".tmp");
  EXPECT_TRUE(env_.FileExists(name));

  const std::string longer = env_.TempFileName(dir_.path(), "FCXYZ");
  ASSERT_FALSE(longer.empty());
  EXPECT_EQ(ExtractFileName(longer).substr(0, 3), "FCX") << longer;
  EXPECT_NE(ExtractFileName(longer)[3], 'Y')
      << "only three characters of the prefix count: " << longer;

  const std::string no_dir = dir_.path().substr(0, dir_.path().size() - 1);
  EXPECT_EQ(ExtractFilePath(env_.TempFileName(no_dir, "FC")), dir_.path())
      << "the folder may come without its delimiter";

  char temp[MAX_PATH + 1];
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  const std::string system = env_.TempFileName("", "FC");
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(ExtractFilePath(system), IncludeTrailingPathDelimiter(temp));
  EXPECT_TRUE(env_.RemoveFile(system));
}

TEST_F(WindowsEnvTest, DriveTypesFollowTheDriveLetter) {
  EXPECT_EQ(env_.DriveTypeOf("C:\\"), DriveType::kFixed);
  EXPECT_EQ(env_.DriveTypeOf("C:"), DriveType::kFixed);
  EXPECT_EQ(env_.DriveTypeOf("c:/windows/x.dat"), DriveType::kFixed);
  EXPECT_EQ(env_.DriveTypeOf(dir_.Join("Orvane.zip")),
            env_.DriveTypeOf(ExtractFileDrive(dir_.path())));
  EXPECT_EQ(env_.DriveTypeOf("Orvane.zip"),
            env_.DriveTypeOf(env_.CurrentDirectory()))
      << "a path without a drive is on the current drive";

  const DWORD drives = GetLogicalDrives();
  for (const char letter : {'A', 'B'}) {
    const std::string root = std::string(1, letter) + ":\\";
    if ((drives & (1u << (letter - 'A'))) != 0) {
      EXPECT_EQ(env_.DriveTypeOf(root + "x.dat"), DriveType::kRemovable)
          << root << " is a floppy drive";
    } else {
      EXPECT_EQ(env_.DriveTypeOf(root + "x.dat"), DriveType::kNoRootDir)
          << root << " is not assigned";
    }
  }
}

TEST_F(WindowsEnvTest, BothDelimitersAndDriveLettersName) {
  dir_.MakeDir("sub");
  const std::string forward = dir_.path() + "sub/a.dat";
  auto file = env_.OpenFile(forward, kOpenCreate);
  ASSERT_NE(file, nullptr);
  file->Write("abc", 3);
  file.reset();
  EXPECT_TRUE(env_.FileExists(dir_.Join("sub\\a.dat")));
  EXPECT_EQ(env_.FileSize(forward), 3);
  EXPECT_EQ(Found("sub/*.DAT", 0), Names{"a.dat"});
  EXPECT_EQ(Found("sub\\a.*", 0), Names{"a.dat"});
  EXPECT_TRUE(env_.DirectoryExists(dir_.path() + "sub/"));

  // The same file by a drive-relative name: "C:name" is relative to the
  // current folder of drive C:.
  char saved[MAX_PATH + 1];
  ASSERT_GT(GetCurrentDirectoryA(sizeof saved, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.Join("sub").c_str()));
  const std::string drive = ExtractFileDrive(dir_.path());
  EXPECT_TRUE(env_.FileExists(drive + "a.dat"));
  EXPECT_TRUE(env_.FileExists("a.dat"));
  EXPECT_EQ(env_.FindFiles("*.dat", 0).size(), 1u) << "the current folder";
  SetCurrentDirectoryA(saved);
}

TEST_F(WindowsEnvTest, CurrentDirectoryEndsWithOneBackslash) {
  char saved[MAX_PATH + 1];
  ASSERT_GT(GetCurrentDirectoryA(sizeof saved, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.path().c_str()));
  EXPECT_EQ(env_.CurrentDirectory(), dir_.path());
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  EXPECT_EQ(env_.CurrentDirectory(), "C:\\") << "a root keeps one delimiter";
  SetCurrentDirectoryA(saved);
}

TEST_F(WindowsEnvTest, FileAgeIsTheLastWriteTimeInLocalTime) {
  const std::string file = dir_.WriteFile("a.dat", "x");
  const uint32_t stamp = EncodeDosDateTime({2024, 1, 31, 23, 59, 58});
  ASSERT_TRUE(env_.SetFileAge(file, stamp));
  EXPECT_EQ(NativeDosTime(file), stamp) << "as Windows itself reads it";
  EXPECT_EQ(static_cast<uint32_t>(env_.FileAge(file)), stamp);

  ASSERT_TRUE(SetNativeUtcTime(file, 1970));
  EXPECT_EQ(static_cast<uint32_t>(env_.FileAge(file)),
            EncodeDosDateTime({1980, 1, 1, 0, 0, 0}))
      << "before 1980";
  ASSERT_TRUE(SetNativeUtcTime(file, 2200));
  EXPECT_EQ(static_cast<uint32_t>(env_.FileAge(file)),
            EncodeDosDateTime({2107, 12, 31, 23, 59, 58}))
      << "after 2107";
}

TEST_F(WindowsEnvTest, ReadOnlyFileRefusesDeletionAndTruncation) {
  const std::string file = dir_.WriteFile("a.dat", "abc");
  ASSERT_TRUE(env_.SetFileAttributes(file, 0x21));
  EXPECT_FALSE(env_.RemoveFile(file));
  EXPECT_TRUE(env_.FileExists(file));
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile(file, kOpenCreate, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_EQ(env_.OpenFile(file, kOpenReadWrite, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_NE(env_.OpenFile(file, kOpenRead), nullptr);
  EXPECT_EQ(env_.FileSize(file), 3);

  ASSERT_TRUE(env_.SetFileAttributes(file, 0x20));
  EXPECT_TRUE(env_.RemoveFile(file));
}

TEST_F(WindowsEnvTest, RenameRefusesAnExistingTargetOfEitherKind) {
  const std::string a = dir_.WriteFile("a.dat", "a");
  const std::string b = dir_.WriteFile("b.dat", "b");
  const std::string sub = dir_.MakeDir("sub");
  EXPECT_FALSE(env_.RenameFile(a, b));
  EXPECT_FALSE(env_.RenameFile(a, ExcludeTrailingPathDelimiter(sub)));
  EXPECT_FALSE(env_.RenameFile(ExcludeTrailingPathDelimiter(sub), b));
  EXPECT_EQ(dir_.ReadFile("b.dat"), "b");
  EXPECT_TRUE(env_.RenameFile(a, dir_.Join("sub/a.dat"))) << "a move";
  EXPECT_EQ(dir_.ReadFile("sub/a.dat"), "a");
}

TEST_F(WindowsEnvTest, RemoveTreeClearsReadOnlyEntries) {
  dir_.MakeDir("t");
  const std::string inner = dir_.MakeDir("t/inner");
  const std::string locked = dir_.WriteFile("t/inner/locked.dat", "x");
  ASSERT_TRUE(env_.SetFileAttributes(locked, 0x23));
  ASSERT_TRUE(env_.SetFileAttributes(inner, 0x01));
  EXPECT_TRUE(env_.RemoveTree(dir_.Join("t")));
  EXPECT_EQ(env_.FileAttributes(dir_.Join("t")), -1);
}

TEST_F(WindowsEnvTest, DevicesAreNotFiles) {
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile("NUL", kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kIOError);
}

TEST_F(WindowsEnvTest, FreeSpaceIsMeasuredOnTheNearestFolder) {
  const int64_t here = env_.FreeSpace(dir_.path());
  ASSERT_GT(here, 0);
  const std::string file = dir_.WriteFile("a.dat", "x");
  EXPECT_GT(env_.FreeSpace(file), 0) << "a file's folder";
  EXPECT_GT(env_.FreeSpace(dir_.Join("no/such/Orvane.zip")), 0);
  EXPECT_GT(env_.FreeSpace("C:\\"), 0);
}

}  // namespace
}  // namespace tessaly::platform
