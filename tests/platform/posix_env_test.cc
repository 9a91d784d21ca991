// What only the POSIX environment shows: the mapping of file kinds and
// permissions to attributes, local time, the temporary folder, a real full
// device.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::platform {
namespace {

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnvVar {
 public:
  ScopedEnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
    tzset();
  }
  ~ScopedEnvVar() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
    tzset();
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

void SetMtime(const std::string& path, time_t seconds) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class PosixEnvTest : public ::testing::Test {
 protected:
  Env& env_ = Env::Default();
  test::TempDir dir_;
};

TEST_F(PosixEnvTest, ReadOnlyMeansTheOwnerMayNotWrite) {
  const std::string file = dir_.WriteFile("a.dat", "x");
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  EXPECT_EQ(env_.FileAttributes(file), 0x21);
  ASSERT_EQ(chmod(file.c_str(), 0466), 0);
  EXPECT_EQ(env_.FileAttributes(file), 0x21) << "group and others do not count";
  ASSERT_EQ(chmod(file.c_str(), 0200), 0);
  EXPECT_EQ(env_.FileAttributes(file), 0x20);

  ASSERT_EQ(chmod(file.c_str(), 0664), 0);
  ASSERT_TRUE(env_.SetFileAttributes(file, 0x21));
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u) << "every write bit is removed";
  ASSERT_TRUE(env_.SetFileAttributes(file, 0x20));
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u) << "only the owner's comes back";
}

TEST_F(PosixEnvTest, OtherFileKindsHaveNoAttributesAndAreNotFound) {
  const std::string fifo = dir_.Join("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(symlink("nowhere", dir_.Join("dangling").c_str()), 0);
  ASSERT_EQ(
      symlink(dir_.WriteFile("target", "x").c_str(), dir_.Join("link").c_str()),
      0);
  EXPECT_EQ(env_.FileAttributes(fifo), -1);
  EXPECT_FALSE(env_.FileExists(fifo));
  EXPECT_EQ(env_.FileAttributes(dir_.Join("dangling")), -1);
  EXPECT_EQ(env_.FileAttributes(dir_.Join("link")), 0x20) << "links followed";

  std::vector<std::string> names;
  for (const FoundFile& f : env_.FindFiles(dir_.Join("*"), 0xFF)) {
    names.push_back(f.name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "link", "target"}));
}

TEST_F(PosixEnvTest, OpeningAFifoDoesNotBlock) {
  const std::string fifo = dir_.Join("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  auto file = env_.OpenFile(fifo, kOpenRead);  // would hang without a writer
  ASSERT_NE(file, nullptr);
  char c;
  EXPECT_LE(file->Read(&c, 1), 0) << "nothing to read, no hang either";
}

TEST_F(PosixEnvTest, FileAgeIsTheModificationTimeInLocalTime) {
  ScopedEnvVar tz("TZ", "EST5");  // UTC-5, no daylight saving
  const std::string file = dir_.WriteFile("a.dat", "x");
  // 1700000000 = 2023-11-14 22:13:20 UTC = 17:13:20 EST.
  SetMtime(file, 1700000001);
  EXPECT_EQ(static_cast<uint32_t>(env_.FileAge(file)),
            EncodeDosDateTime({2023, 11, 14, 17, 13, 20}));

  SetMtime(file, 86400 * 365);  // 1971
  EXPECT_EQ(static_cast<uint32_t>(env_.FileAge(file)),
            EncodeDosDateTime({1980, 1, 1, 0, 0, 0}));

  ASSERT_TRUE(
      env_.SetFileAge(file, EncodeDosDateTime({2023, 11, 14, 17, 13, 20})));
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1700000000);
}

TEST_F(PosixEnvTest, TempFileNameUsesTmpdirThenSlashTmp) {
  test::TempDir other;
  {
    ScopedEnvVar tmpdir("TMPDIR", other.path().c_str());
    const std::string name = env_.TempFileName("", "FC");
    EXPECT_EQ(name.rfind(other.path() + "FC", 0), 0u) << name;
    ASSERT_TRUE(env_.FileExists(name));
  }
  {
    ScopedEnvVar tmpdir("TMPDIR", "");
    const std::string name = env_.TempFileName("", "FC");
    EXPECT_EQ(name.rfind("/tmp/FC", 0), 0u) << name;
    EXPECT_TRUE(env_.RemoveFile(name));
  }
  const std::string mine =
      env_.TempFileName(dir_.path().substr(0, dir_.path().size() - 1), "FC");
  EXPECT_EQ(mine.rfind(dir_.path() + "FC", 0), 0u) << "a delimiter is added";
}

TEST_F(PosixEnvTest, WriteToAFullDeviceReportsDiskFull) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto file = env_.OpenFile("/dev/full", kOpenWrite);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Write("data", 4), 0);
  EXPECT_EQ(file->LastError(), ErrorKind::kDiskFull);
}

TEST_F(PosixEnvTest, FreeSpaceOfAMissingPathIsThatOfItsFolder) {
  const int64_t here = env_.FreeSpace(dir_.path());
  const int64_t below = env_.FreeSpace(dir_.Join("x/y/z.zip"));
  ASSERT_GT(here, 0);
  EXPECT_NEAR(static_cast<double>(below), static_cast<double>(here), 64e6);
}

TEST_F(PosixEnvTest, RelativePathsUseTheCurrentFolder) {
  const std::string saved = env_.CurrentDirectory();
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  dir_.WriteFile("rel.dat", "x");
  EXPECT_TRUE(env_.FileExists("rel.dat"));
  EXPECT_EQ(env_.FindFiles("*.dat", 0).size(), 1u);
  EXPECT_GT(env_.FreeSpace("missing/file"), 0);
  EXPECT_EQ(env_.CurrentDirectory(), dir_.path());
  ASSERT_EQ(chdir(saved.c_str()), 0);
}

TEST_F(PosixEnvTest, FileIdFollowsSymbolicAndHardLinks) {
  const std::string file = dir_.WriteFile("f", "x");
  dir_.MakeDir("sub");
  ASSERT_EQ(symlink(file.c_str(), dir_.Join("sym").c_str()), 0);
  ASSERT_EQ(link(file.c_str(), dir_.Join("sub/hard").c_str()), 0);
  ASSERT_EQ(symlink("sub", dir_.Join("lnk").c_str()), 0);
  const std::string id = env_.FileId(file);
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(env_.FileId(dir_.Join("sym")), id);
  EXPECT_EQ(env_.FileId(dir_.Join("lnk/hard")), id);
  EXPECT_EQ(env_.FolderId(dir_.Join("lnk")), env_.FileId(dir_.Join("sub")));
  EXPECT_EQ(env_.FolderId(dir_.Join("sym")), "") << "a link to a file";
}

// Only a user whom permissions bind can meet an unreadable folder.
TEST_F(PosixEnvTest, UnreadableFolderIsAccessDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const std::string folder = dir_.MakeDir("locked");
  dir_.WriteFile("locked/a.dat", "x");
  ErrorKind error = ErrorKind::kNone;
  ASSERT_EQ(chmod(folder.c_str(), 0), 0);
  EXPECT_TRUE(env_.FindFiles(folder + "*", 0xFF, &error).empty());
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  ASSERT_EQ(chmod(folder.c_str(), 0400), 0);  // readable, not searchable
  EXPECT_TRUE(env_.FindFiles(folder + "*.dat", 0xFF, &error).empty());
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
}

TEST_F(PosixEnvTest, InvalidAccessModeIsRefused) {
  dir_.WriteFile("a.dat", "x");
  ErrorKind error;
  EXPECT_EQ(env_.OpenFile(dir_.Join("a.dat"), 0x03, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kIOError);
}

}  // namespace
}  // namespace tessaly::platform
