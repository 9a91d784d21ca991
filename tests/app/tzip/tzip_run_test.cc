// tzip's whole run (RunTzip) over a fault-injecting environment: a folder
// that cannot be listed is reported, the rest is archived, and the exit
// status says that files were left out.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/tzip/tzip.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/testing/fault_env.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app {
namespace {

TEST(TzipFaultRunTest, UnreadableSubFolderIsReportedAndExitIsFour) {
  test::TempDir dir;
  dir.MakeDir("src");
  dir.MakeDir("src/sub");
  dir.WriteFile("src/a.txt", "kept");
  dir.WriteFile("src/sub/b.txt", "cannot be listed");
  platform::FaultEnv env;
  env.RefuseFind(dir.Join("src/sub"));
  engine::ScriptedDialogService dialogs;
  dialogs.answers = {engine::mrIgnore};
  TzipOptions options;
  options.archive = dir.Join("t.zip");
  options.base_dir = dir.path();
  options.masks = {"src/*"};
  std::ostringstream out;
  std::ostringstream err;

  EXPECT_EQ(RunTzip(options, out, err, env, dialogs, false), 4) << err.str();

  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "ZipArchiver: Cannot open file \"" + dir.Join("src/sub/") +
                "\" - Native error: 00033. File processing error, possibly "
                "disk is full");
  EXPECT_EQ(out.str(), dir.Join("t.zip") + "\n");
  const test::CommandResult names = test::RunCommand(
      "python3 -c 'import sys, zipfile\n"
      "for n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n)' " +
      test::ShellQuote(dir.Join("t.zip")) + " && unzip -tq " +
      test::ShellQuote(dir.Join("t.zip")));
  EXPECT_EQ(names.exit_code, 0) << names.output;
  EXPECT_EQ(names.output.substr(0, names.output.find("No errors")),
            "src/a.txt\nsrc/sub/\n");
}

// The same status when a file cannot be read while the archive is written.
TEST(TzipFaultRunTest, FileIgnoredWhileWritingAlsoExitsFour) {
  test::TempDir dir;
  dir.WriteFile("a.txt", "a");
  const std::string locked = dir.WriteFile("b.txt", "b");
  platform::FaultEnv env;
  engine::ScriptedDialogService dialogs;
  TzipOptions options;
  options.archive = dir.Join("t.zip");
  options.masks = {dir.Join("*.txt")};
  std::ostringstream out;
  std::ostringstream err;

  EXPECT_EQ(RunTzip(options, out, err, env, dialogs, false), 0) << err.str();
  EXPECT_TRUE(dialogs.boxes.empty());

  env.RefuseOpen(locked);
  dialogs.answers = {engine::mrIgnore};
  EXPECT_EQ(RunTzip(options, out, err, env, dialogs, false), 4) << err.str();
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// An Abort given while the files are being selected rolls the update back
// before anything is written: status 3, the archive byte for byte as it was.
TEST(TzipFaultRunTest, AbortWhileSelectingLeavesTheArchiveAndExitsThree) {
  test::TempDir dir;
  dir.MakeDir("src");
  dir.MakeDir("src/sub");
  dir.WriteFile("src/a.txt", "first");
  platform::FaultEnv env;
  engine::ScriptedDialogService dialogs;
  TzipOptions options;
  options.archive = dir.Join("t.zip");
  options.base_dir = dir.path();
  options.masks = {"src/*"};
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunTzip(options, out, err, env, dialogs, false), 0) << err.str();
  const std::string before = dir.ReadFile("t.zip");

  dir.WriteFile("src/sub/b.txt", "cannot be listed");
  env.RefuseFind(dir.Join("src/sub"));
  dialogs.answers = {engine::mrAbort};
  options.command = TzipCommand::kUpdate;
  out.str("");
  err.str("");
  EXPECT_EQ(RunTzip(options, out, err, env, dialogs, false), 3) << err.str();

  EXPECT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("the archive is unchanged"), std::string::npos)
      << err.str();
  EXPECT_EQ(dir.ReadFile("t.zip"), before);
}

}  // namespace
}  // namespace tessaly::app
