// Opening, update transactions and closing, through the public operations.
#include <string>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "engine/base/za_exception.h"
#include "platform/env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

class TransactionTest : public ::testing::Test {
 protected:
  TransactionTest() {
    zip_.SetName("Zipper");
    zip_.SetDialogService(&dialogs_);
    zip_.FileName = dir_.Join("out.zip");
    src_ = dir_.MakeDir("src");
    dir_.WriteFile("src/a.dat", "alpha alpha alpha");
    dir_.WriteFile("src/b.dat", "bravo");
    zip_.BaseDir = src_;
    zip_.FileMasks.Add("*.dat");
  }

  // Runs `op` and returns the engine error's native code, or -1.
  template <typename Op>
  int CodeOf(Op op) {
    try {
      op();
    } catch (const EZAException& e) {
      last_message_ = e.what();
      return e.NativeError();
    }
    return -1;
  }

  test::TempDir dir_;
  std::string src_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  std::string last_message_;
};

TEST_F(TransactionTest, ClosingAnArchiveWithoutEntriesLeavesAnEndRecordOnly) {
  int after_open = 0;
  zip_.AfterOpen = [&](Component*) { ++after_open; };
  zip_.Open(kOpenCreate);
  EXPECT_TRUE(zip_.IsOpen());
  EXPECT_EQ(after_open, 1);
  zip_.Close();
  EXPECT_FALSE(zip_.IsOpen());
  const std::string bytes = dir_.ReadFile("out.zip");
  ASSERT_EQ(bytes.size(), 22u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x05\x06", 4));
  EXPECT_EQ(bytes.substr(4), std::string(18, '\0'));
}

TEST_F(TransactionTest, CreateModeReplacesAnExistingFile) {
  dir_.WriteFile("out.zip", std::string(1000, 'x'));
  zip_.Open(kOpenCreate);
  zip_.Close();
  EXPECT_EQ(dir_.ReadFile("out.zip").size(), 22u);
}

TEST_F(TransactionTest, OpeningAMissingArchiveRaisesTwelve) {
  EXPECT_EQ(CodeOf([&] { zip_.Open(kOpenReadWriteDenyWrite); }), 12);
  EXPECT_EQ(last_message_, "Zipper: File \"" + zip_.FileName +
                               "\" not found - Native error: 00012");
  EXPECT_FALSE(zip_.IsOpen());
}

TEST_F(TransactionTest, FileNameWithoutNameRaisesNineOrTen) {
  zip_.FileName = dir_.path();  // ends in a delimiter
  EXPECT_EQ(CodeOf([&] { zip_.Open(kOpenCreate); }), 10);
  EXPECT_EQ(CodeOf([&] { zip_.Open(); }), 9);
  zip_.FileName = "";
  EXPECT_EQ(CodeOf([&] { zip_.Open(); }), 9);
}

TEST_F(TransactionTest, InMemoryArchiveCanOnlyBeCreated) {
  dir_.WriteFile("out.zip", "");  // a missing file would give 12 first
  zip_.SetInMemory(true);
  EXPECT_EQ(CodeOf([&] { zip_.Open(kOpenReadOnlyDenyNone); }), 28);
  EXPECT_EQ(last_message_,
            "Zipper: In-memory archive can be created only - Native error: "
            "00028");
  zip_.Open();
  EXPECT_TRUE(zip_.IsOpen());
  EXPECT_EQ(zip_.LastOpenMode(), kOpenCreate);
  zip_.Close();
  EXPECT_EQ(dir_.ReadFile("out.zip"), "") << "the disk file is left alone";
}

TEST_F(TransactionTest, AddMatchingFilesNeedsAnOpenArchive) {
  EXPECT_EQ(CodeOf([&] { zip_.AddMatchingFiles(); }), 13);
  EXPECT_FALSE(zip_.IsOpen());
  EXPECT_FALSE(dir_.ReadFile("out.zip").size() > 0);
}

TEST_F(TransactionTest, NestedTransactionsWriteAtTheOutermostEnd) {
  zip_.Open(kOpenCreate);
  zip_.BeginUpdate();
  zip_.BeginUpdate();
  zip_.AddMatchingFiles();
  EXPECT_EQ(zip_.UpdateDepth(), 2);
  zip_.EndUpdate();
  EXPECT_TRUE(zip_.IsUpdating());
  // The archive is read through its own stream: Windows lets no one else
  // open a file being created.
  EXPECT_EQ(zip_.Volumes().stream()->Size(), 0) << "nothing written yet";
  zip_.EndUpdate();
  EXPECT_FALSE(zip_.IsUpdating());
  EXPECT_GT(zip_.Volumes().stream()->Size(), 22);
  EXPECT_EQ(zip_.DirectoryStore()->Dir.Count(), 2);
  zip_.Close();
}

TEST_F(TransactionTest, DiscardUpdateDropsEveryLevel) {
  zip_.Open(kOpenCreate);
  zip_.BeginUpdate();
  zip_.BeginUpdate();
  zip_.DiscardUpdate();
  EXPECT_EQ(zip_.UpdateDepth(), 0);
  zip_.EndUpdate();  // nothing left to end
  EXPECT_EQ(zip_.UpdateDepth(), 0);
}

TEST_F(TransactionTest, ReadOnlyArchiveRefusesUpdates) {
  zip_.Open(kOpenCreate);
  zip_.Close();
  platform::Env& env = platform::Env::Default();
  ASSERT_TRUE(env.SetFileAttributes(zip_.FileName, platform::kAttrReadOnly));
  if (env.OpenFile(zip_.FileName, platform::kOpenReadWrite) != nullptr) {
    // root may write anything on POSIX: open the archive explicitly
    // read-only.
    zip_.Open(kOpenReadOnlyDenyNone);
  } else {
    zip_.Open();
    EXPECT_EQ(zip_.LastOpenMode(), kOpenReadOnlyDenyNone);
  }
  EXPECT_EQ(CodeOf([&] { zip_.AddMatchingFiles(); }), 32);
  EXPECT_EQ(zip_.UpdateDepth(), 0);
  zip_.Close();
  EXPECT_TRUE(env.SetFileAttributes(zip_.FileName, platform::kAttrArchive));
}

TEST_F(TransactionTest, SplitArchiveTakesOneUpdatePerOpen) {
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  EXPECT_EQ(zip_.LastOpenMode(), kOpenReadWriteDenyWrite);
  EXPECT_EQ(CodeOf([&] { zip_.AddMatchingFiles(); }), 52);
  EXPECT_EQ(CodeOf([&] { zip_.BeginUpdate(); }), 62);
  EXPECT_EQ(last_message_,
            "Multiple transactions are not supported for multi-volume "
            "archives - Native error: 00062")
      << "62 names no component";
  zip_.Close();
}

TEST_F(TransactionTest, SplitArchiveWithoutEntriesRefusesASecondUpdateWith62) {
  zip_.SetSpanningMode(smSplitting);
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add("*.none");
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  EXPECT_EQ(CodeOf([&] { zip_.AddMatchingFiles(); }), 62);
  zip_.Close();
}

TEST_F(TransactionTest, SetActiveOpensAndCloses) {
  zip_.SetActive(true);
  EXPECT_TRUE(zip_.IsOpen());
  EXPECT_EQ(zip_.LastOpenMode(), kOpenCreate) << "the file did not exist";
  zip_.SetActive(false);
  EXPECT_FALSE(zip_.IsOpen());
  zip_.SetActive(true);
  EXPECT_EQ(zip_.LastOpenMode(), kOpenReadWriteDenyWrite);
  zip_.SetActive(false);
}

TEST_F(TransactionTest, SwitchingInMemoryArchiveToDiskWritesItOut) {
  zip_.SetInMemory(true);
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  zip_.SetInMemory(false);
  EXPECT_FALSE(zip_.InMemory());
  EXPECT_TRUE(zip_.IsOpen());
  EXPECT_EQ(zip_.DirectoryStore()->Dir.Count(), 2);
  zip_.Close();
}

TEST_F(TransactionTest, SwitchingToDiskWithoutFileNameRaises29) {
  zip_.SetInMemory(true);
  zip_.FileName = "";
  zip_.Open(kOpenCreate);
  EXPECT_EQ(CodeOf([&] { zip_.SetInMemory(false); }), 29);
  EXPECT_TRUE(zip_.InMemory());
  EXPECT_TRUE(zip_.IsOpen());
}

}  // namespace
}  // namespace tessaly::engine
