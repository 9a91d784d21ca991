// tzip's exit statuses: 0 only when all requested work was done, 3 when the
// update was rolled back or refused (the archive unchanged, the reason on
// stderr), 4 when files were left out, 1 on an error.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/tzip/tzip.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/testing/fault_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app {
namespace {

class TzipExitStatusTest : public ::testing::Test {
 protected:
  TzipExitStatusTest() {
    dir_.MakeDir("src");
    options_.archive = dir_.Join("arc.zip");
    options_.base_dir = dir_.Join("src");
    options_.compression_mode = 0;
  }

  std::string Source(const std::string& name, const std::string& content) {
    return dir_.WriteFile("src/" + name, content);
  }

  int Run(TzipCommand command, std::initializer_list<const char*> masks) {
    options_.command = command;
    options_.masks.assign(masks.begin(), masks.end());
    out_.str("");
    err_.str("");
    return RunTzip(options_, out_, err_, env_, dialogs_, false);
  }

  void SplitInto64KiBVolumes() {
    options_.split_size = 65536;
    options_.classic_naming = true;
  }

  // An archive of a.txt and b.txt, made by tzip; returns its bytes.
  std::string MakeArchive() {
    Source("a.txt", "alpha");
    Source("b.txt", "bravo");
    EXPECT_EQ(Run(TzipCommand::kCreate, {"a.txt", "b.txt"}), kTzipDone)
        << err_.str();
    return dir_.ReadFile("arc.zip");
  }

  test::TempDir dir_;
  platform::FaultEnv env_;
  engine::ScriptedDialogService dialogs_;
  TzipOptions options_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(TzipExitStatusTest, CompleteUpdateExitsZeroAndListsTheArchive) {
  MakeArchive();
  Source("c.txt", "charlie");
  EXPECT_EQ(Run(TzipCommand::kUpdate, {"c.txt"}), kTzipDone);
  EXPECT_EQ(out_.str(), options_.archive + "\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(TzipExitStatusTest, AbortedUpdateExitsThreeAndLeavesTheArchive) {
  const std::string before = MakeArchive();
  env_.RefuseOpen(Source("c.txt", "charlie"));
  dialogs_.answers = {engine::mrAbort};
  EXPECT_EQ(Run(TzipCommand::kUpdate, {"c.txt"}), kTzipRolledBack);
  EXPECT_EQ(out_.str(), "") << "no file was written";
  EXPECT_NE(err_.str().find("Cannot open file"), std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find("tzip: the update was aborted; the archive is "
                            "unchanged\n"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(dir_.ReadFile("arc.zip"), before);
}

TEST_F(TzipExitStatusTest, IgnoredFileExitsFourAndIsNamed) {
  MakeArchive();
  const std::string refused = Source("c.txt", "charlie");
  Source("d.txt", "delta");
  env_.RefuseOpen(refused);
  dialogs_.answers = {engine::mrIgnore};
  EXPECT_EQ(Run(TzipCommand::kUpdate, {"c.txt", "d.txt"}), kTzipFilesLeftOut);
  EXPECT_EQ(out_.str(), options_.archive + "\n");
  EXPECT_EQ(err_.str(), "tzip: 1 file was left out:\n  " + refused + "\n");
}

TEST_F(TzipExitStatusTest, SplitArchiveVolumeNotObtainedExitsThree) {
  SplitInto64KiBVolumes();
  Source("a.bin", std::string(100000, 'a'));
  ASSERT_EQ(Run(TzipCommand::kCreate, {"a.bin"}), kTzipDone) << err_.str();
  const std::string before = dir_.ReadFile("arc.zip");
  // Growing needs the last volume's numbered name, which another file has.
  dir_.WriteFile("arc.z02", "someone else's");
  Source("b.bin", std::string(100000, 'b'));
  EXPECT_EQ(Run(TzipCommand::kUpdate, {"b.bin"}), kTzipRolledBack);
  EXPECT_NE(err_.str().find("tzip: a volume could not be obtained; the "
                            "update was rolled back; the archive is "
                            "unchanged\n"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(dir_.ReadFile("arc.zip"), before);
}

TEST_F(TzipExitStatusTest, RefusedUpdateExitsThree) {
  SplitInto64KiBVolumes();
  Source("a.bin", std::string(100000, 'a'));
  Source("b.bin", "b");
  ASSERT_EQ(Run(TzipCommand::kCreate, {"a.bin", "b.bin"}), kTzipDone);
  // a.bin lies on the first volume: replacing it is refused.
  Source("a.bin", "a replaced");
  EXPECT_EQ(Run(TzipCommand::kUpdate, {"a.bin"}), kTzipRolledBack);
  EXPECT_NE(err_.str().find("Native error: 00052\n"
                            "tzip: the update was refused; the archive is "
                            "unchanged\n"),
            std::string::npos)
      << err_.str();
}

TEST_F(TzipExitStatusTest, ErrorExitsOne) {
  options_.archive = dir_.Join("missing.zip");
  EXPECT_EQ(Run(TzipCommand::kList, {}), kTzipFailed);
  EXPECT_NE(err_.str().find("EZAException"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace tessaly::app
