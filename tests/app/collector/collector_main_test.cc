// The tessaly-zipper program itself, run in console mode: its command line,
// its output and its exit codes.
#include <string>

#include <gtest/gtest.h>

#include "tests/app/collector_fixture.h"
#include "tests/support/run_command.h"

namespace tessaly::app {
namespace {

using test::RunCommand;
using test::ShellQuote;

std::string Program() { return test::BinaryDir() + "/app/tessaly-zipper"; }

// The program in console mode on `registry`, with no input.
test::CommandResult RunConsole(const std::string& registry) {
  return RunCommand("env -u DISPLAY TESSALY_UI=console TESSALY_REGISTRY=" +
                    ShellQuote(registry) + " " + ShellQuote(Program()) +
                    " </dev/null");
}

TEST(CollectorProgramTest, HelpAndVersionExitZero) {
  const auto help = RunCommand(ShellQuote(Program()) + " --help 2>/dev/null");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.output.rfind("Usage: tessaly-zipper", 0), 0u) << help.output;
  EXPECT_NE(help.output.find("TESSALY_REGISTRY"), std::string::npos);

  const auto version =
      RunCommand(ShellQuote(Program()) + " --version 2>/dev/null");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.output.rfind("tessaly-zipper ", 0), 0u) << version.output;
}

TEST(CollectorProgramTest, AnyOtherArgumentIsAUsageError) {
  for (const char* args : {"-h", "--help --version", "/data", "--versions"}) {
    const auto on_stdout =
        RunCommand(ShellQuote(Program()) + " " + args + " 2>/dev/null");
    EXPECT_EQ(on_stdout.exit_code, 2) << args;
    EXPECT_EQ(on_stdout.output, "") << args;
    const auto on_stderr =
        RunCommand(ShellQuote(Program()) + " " + args + " >/dev/null");
    EXPECT_NE(on_stderr.output.find("Usage: tessaly-zipper"), std::string::npos)
        << args;
  }
}

TEST(CollectorProgramTest, ConsoleRunWritesTheArchiveAndExitsZero) {
  testing::Installation site;
  site.AddSmallDataSet();

  const auto result = RunConsole(site.registry_file());

  EXPECT_EQ(result.exit_code, 0) << result.output;
  EXPECT_EQ(
      result.output,
      "Information:\nTessaly data has been zipped into: \r\n\r\n        " +
          site.archive() +
          "\r\n\r\nPlease send as attachments to separate emails.\n")
      << "nothing else, and no band when stderr is not a terminal";
  testing::Expect7zTestOk(site.archive());
}

TEST(CollectorProgramTest, ConsoleRunWithoutDataFolderExitsOne) {
  testing::Installation site;
  site.WriteRegistry("REGEDIT4\r\n");

  const auto result = RunConsole(site.registry_file());

  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.output,
            "Error:\nUnable to locate Tessaly database!\n"
            "Confirmation:\nAbandon collection of files?\n[Yes/No]\n");
}

}  // namespace
}  // namespace tessaly::app
