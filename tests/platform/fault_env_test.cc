#include "platform/testing/fault_env.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/testing/mem_env.h"

namespace tessaly::platform {
namespace {

// FaultEnv over an in-memory target, with helpers in the tests' vocabulary.
class FaultEnvTest : public ::testing::Test {
 protected:
  FaultEnvTest() : env_(mem_) {}

  std::unique_ptr<File> Create(const std::string& path) {
    auto file = env_.OpenFile(path, kOpenCreate);
    EXPECT_NE(file, nullptr) << path;
    return file;
  }

  std::string Content(const std::string& path) {
    auto file = mem_.OpenFile(path, kOpenRead);
    if (file == nullptr) return "<missing>";
    std::string s(static_cast<size_t>(file->Size()), '\0');
    file->Read(s.data(), file->Size());
    return s;
  }

  MemEnv mem_;
  FaultEnv env_;
};

TEST_F(FaultEnvTest, RefusedFileCannotBeOpenedInAnyMode) {
  Create("/a.dat");
  Create("/b.dat");
  env_.RefuseOpen("/a.dat", ErrorKind::kNotFound);
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile("/a.dat", kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kNotFound);
  EXPECT_EQ(env_.OpenFile("/a.dat", kOpenCreate, &error), nullptr);
  EXPECT_NE(env_.OpenFile("/b.dat", kOpenRead), nullptr);

  env_.RefuseOpen("/b.dat");
  EXPECT_EQ(env_.OpenFile("/b.dat", kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kAccessDenied) << "the default kind";
  env_.ClearFaults();
  EXPECT_NE(env_.OpenFile("/a.dat", kOpenRead), nullptr);
}

TEST_F(FaultEnvTest, NthWriteFailsOnceAcrossAllFiles) {
  auto a = Create("/a");
  auto b = Create("/b");
  env_.FailNthWrite(3);
  EXPECT_EQ(a->Write("1", 1), 1);
  EXPECT_EQ(b->Write("2", 1), 1);
  EXPECT_EQ(a->Write("3", 1), 0) << "third write of all files";
  EXPECT_EQ(a->LastError(), ErrorKind::kDiskFull);
  EXPECT_EQ(b->LastError(), ErrorKind::kNone);
  EXPECT_EQ(a->Write("4", 1), 1) << "not sticky";
  EXPECT_EQ(Content("/a"), "14");
  EXPECT_EQ(env_.write_count(), 4);
}

TEST_F(FaultEnvTest, StickyFailureKeepsFailing) {
  auto a = Create("/a");
  env_.FailNthWrite(2, ErrorKind::kIOError, "", /*sticky=*/true);
  EXPECT_EQ(a->Write("1", 1), 1);
  EXPECT_EQ(a->Write("2", 1), 0);
  EXPECT_EQ(a->Write("3", 1), 0);
  EXPECT_EQ(a->LastError(), ErrorKind::kIOError);
}

TEST_F(FaultEnvTest, NthWriteCountsOnlyTheNamedFile) {
  auto a = Create("/a");
  auto b = Create("/b");
  env_.FailNthWrite(2, ErrorKind::kDiskFull, "/b");
  EXPECT_EQ(a->Write("1", 1), 1);
  EXPECT_EQ(b->Write("1", 1), 1);
  EXPECT_EQ(a->Write("2", 1), 1);
  EXPECT_EQ(b->Write("2", 1), 0);
}

TEST_F(FaultEnvTest, ShortenedWriteKeepsItsFirstBytes) {
  auto a = Create("/a");
  env_.ShortenNthWrite(2, 3);
  EXPECT_EQ(a->Write("head", 4), 4);
  EXPECT_EQ(a->Write("abcdefgh", 8), 3);
  EXPECT_EQ(a->LastError(), ErrorKind::kDiskFull);
  EXPECT_EQ(a->Position(), 7);
  EXPECT_EQ(Content("/a"), "headabc");
}

TEST_F(FaultEnvTest, ShortWriteMakesWriteBufferThrow) {
  env_.ShortenNthWrite(1, 2);
  const auto stream = OpenStream(env_, "/a", kOpenCreate);
  try {
    stream->WriteBuffer("abcd", 4);
    FAIL() << "no exception";
  } catch (const EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
    EXPECT_STREQ(e.ClassName(), "EWriteError");
  }
}

TEST_F(FaultEnvTest, ChosenFreeSpaceAndDriveType) {
  env_.SetFreeSpace(65536);
  EXPECT_EQ(env_.FreeSpace("/anything"), 65536);
  env_.SetDriveType(DriveType::kRemovable);
  EXPECT_EQ(env_.DriveTypeOf("/a"), DriveType::kRemovable);
  env_.ClearFaults();
  EXPECT_EQ(env_.FreeSpace("/"), mem_.FreeSpace("/"));
  EXPECT_EQ(env_.DriveTypeOf("/a"), DriveType::kFixed);
}

TEST_F(FaultEnvTest, FileDeletedBetweenFindAndOpen) {
  ASSERT_TRUE(env_.CreateDir("/d"));
  Create("/d/a.dat");
  Create("/d/b.dat");
  env_.DeleteAfterFind("/d/a.dat");
  const auto found = env_.FindFiles("/d/*.dat", 0);
  ASSERT_EQ(found.size(), 2u) << "the file is still listed";
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env_.OpenFile("/d/a.dat", kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kNotFound);
  EXPECT_EQ(env_.FileAge("/d/a.dat"), -1);
  EXPECT_NE(env_.OpenFile("/d/b.dat", kOpenRead), nullptr);

  Create("/d/a.dat");
  EXPECT_EQ(env_.FindFiles("/d/*.dat", 0).size(), 2u);
  EXPECT_TRUE(env_.FileExists("/d/a.dat")) << "fires once";
}

TEST_F(FaultEnvTest, RefusedFolderCannotBeListed) {
  ASSERT_TRUE(env_.CreateDir("/d"));
  ASSERT_TRUE(env_.CreateDir("/d/sub"));
  Create("/d/a.dat");
  Create("/d/sub/b.dat");
  env_.RefuseFind("/d");
  ErrorKind error = ErrorKind::kNone;
  EXPECT_TRUE(env_.FindFiles("/d/*.dat", 0, &error).empty());
  EXPECT_EQ(error, ErrorKind::kAccessDenied);
  EXPECT_TRUE(env_.FindFiles("/d/*", 0x16).empty());
  EXPECT_EQ(env_.FindFiles("/d/sub/*", 0, &error).size(), 1u)
      << "only the folder itself";
  EXPECT_EQ(error, ErrorKind::kNone);
  EXPECT_TRUE(env_.FileExists("/d/a.dat"));

  env_.ClearFaults();
  EXPECT_EQ(env_.FindFiles("/d/*.dat", 0, &error).size(), 1u);
  EXPECT_EQ(error, ErrorKind::kNone);
}

TEST_F(FaultEnvTest, TempFileNameCanFail) {
  env_.FailTempFileName();
  EXPECT_EQ(env_.TempFileName("", "FC"), "");
  env_.FailTempFileName(false);
  EXPECT_NE(env_.TempFileName("", "FC"), "");
}

TEST_F(FaultEnvTest, PowerLossFreezesEveryFileAfterTheNthChange) {
  auto a = Create("/a");
  a->Write("12345", 5);
  env_.LosePowerAfter(3);
  EXPECT_EQ(a->Write("ab", 2), 2);           // 1
  EXPECT_TRUE(a->SetSize(6));                // 2
  EXPECT_TRUE(env_.RenameFile("/a", "/b"));  // 3
  EXPECT_FALSE(env_.power_lost());
  EXPECT_EQ(a->Write("c", 1), 0);
  EXPECT_EQ(a->LastError(), ErrorKind::kDiskFull);
  EXPECT_FALSE(a->SetSize(0));
  EXPECT_EQ(env_.OpenFile("/c", kOpenCreate), nullptr);
  EXPECT_EQ(env_.OpenFile("/b", kOpenCreate), nullptr) << "no truncation";
  EXPECT_FALSE(env_.RemoveFile("/b"));
  EXPECT_FALSE(env_.RenameFile("/b", "/a"));
  EXPECT_FALSE(env_.CreateDir("/d"));
  EXPECT_EQ(env_.TempFileName("/", "FC"), "");
  EXPECT_TRUE(env_.power_lost());
  EXPECT_EQ(env_.changes_seen(), 11);
  EXPECT_EQ(Content("/b"), "12345a");
  EXPECT_EQ(Content("/c"), "<missing>");
  EXPECT_NE(env_.OpenFile("/b", kOpenRead), nullptr) << "reads go on";

  env_.ClearFaults();
  EXPECT_TRUE(env_.RemoveFile("/b")) << "the power is back";
}

TEST_F(FaultEnvTest, RecordsOpensSyncsAndLabels) {
  auto a = Create("/a");
  a->Flush();
  EXPECT_EQ(env_.opened_files(), std::vector<std::string>{"/a"});
  EXPECT_EQ(env_.flush_count(), 1);
  EXPECT_FALSE(env_.SetVolumeLabel("/", "pkback# 001"));
  env_.AcceptVolumeLabels();
  EXPECT_TRUE(env_.SetVolumeLabel("/", "pkback# 002"));
  EXPECT_EQ(env_.volume_labels(),
            (std::vector<std::string>{"pkback# 001", "pkback# 002"}));
}

}  // namespace
}  // namespace tessaly::platform
