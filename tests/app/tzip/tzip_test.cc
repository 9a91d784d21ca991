// tzip at work: what it does when masks select nothing, what it reports
// while it packs (progress line, -v listing), and, through a pseudo
// terminal, the password prompt and the progress line of the real program.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tzip/tzip.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/env.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::app {
namespace {

using test::RunCommand;
using test::ShellQuote;

class TzipRunTest : public ::testing::Test {
 protected:
  TzipRunTest() {
    dir_.WriteFile("a.txt", std::string(3000, 'a'));
    dir_.WriteFile("b.txt", "bee");
    dir_.WriteFile("c.dat", std::string(10000, 'c'));
    archive_ = dir_.Join("out.zip");
  }

  TzipOptions Options(std::vector<std::string> masks,
                      TzipCommand command = TzipCommand::kCreate) const {
    TzipOptions options;
    options.command = command;
    options.archive = archive_;
    options.base_dir = dir_.path();
    options.masks = std::move(masks);
    return options;
  }

  int Run(const TzipOptions& options, bool terminal = false,
          int columns = 80) {
    out_.str("");
    err_.str("");
    return RunTzip(options, out_, err_, platform::Env::Default(), dialogs_,
                   terminal, columns);
  }

  std::vector<std::string> Names() const {
    const test::ZipReadResult read = test::ReadZip(archive_);
    EXPECT_TRUE(read.ok()) << read.error;
    return read.Names();
  }

  test::TempDir dir_;
  std::string archive_;
  std::ostringstream out_;
  std::ostringstream err_;
  engine::ScriptedDialogService dialogs_;
};

TEST_F(TzipRunTest, NothingSelectedCreatesNoArchive) {
  EXPECT_EQ(Run(Options({"missing.txt", "*.none"})), kTzipNothingToDo);
  EXPECT_EQ(err_.str(),
            "tzip: nothing matches missing.txt\n"
            "tzip: nothing matches *.none\n"
            "tzip: nothing to do: " + archive_ + " not written\n");
  EXPECT_EQ(out_.str(), "");
  EXPECT_FALSE(platform::Env::Default().FileExists(archive_));

  TzipOptions split = Options({"missing.txt"});
  split.split_size = 65536;
  EXPECT_EQ(Run(split), kTzipNothingToDo);
  EXPECT_FALSE(platform::Env::Default().FileExists(archive_));
  EXPECT_FALSE(platform::Env::Default().FileExists(dir_.Join("out_001.zip")))
      << "no first volume either";
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(TzipRunTest, FilesAllExcludedSelectNothing) {
  TzipOptions options = Options({"*.txt"});
  options.exclusions = {"*.txt"};
  EXPECT_EQ(Run(options), kTzipNothingToDo);
  EXPECT_FALSE(platform::Env::Default().FileExists(archive_));
}

TEST_F(TzipRunTest, ExistingArchiveIsLeftAsItWasWhenNothingIsSelected) {
  ASSERT_EQ(Run(Options({"a.txt"})), kTzipDone) << err_.str();
  const std::string before = dir_.ReadFile(archive_);
  ASSERT_FALSE(before.empty());

  EXPECT_EQ(Run(Options({"missing.txt"})), kTzipNothingToDo)
      << "made afresh, but from nothing";
  EXPECT_EQ(dir_.ReadFile(archive_), before);

  EXPECT_EQ(Run(Options({"missing.txt"}, TzipCommand::kUpdate)),
            kTzipNothingToDo);
  EXPECT_EQ(err_.str(), "tzip: nothing matches missing.txt\n"
                        "tzip: nothing to do: " + archive_ +
                            " left as it was\n");
  EXPECT_EQ(dir_.ReadFile(archive_), before);
}

TEST_F(TzipRunTest, UnmatchedMaskIsReportedAndTheOthersArePacked) {
  EXPECT_EQ(Run(Options({"a.txt", "*.none", "*.dat"})), kTzipDone);
  EXPECT_EQ(err_.str(), "tzip: nothing matches *.none\n");
  EXPECT_EQ(out_.str(), archive_ + "\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "c.dat"}));

  EXPECT_EQ(Run(Options({"b.txt", "*.none"}, TzipCommand::kUpdate)),
            kTzipDone);
  EXPECT_EQ(err_.str(), "tzip: nothing matches *.none\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "c.dat", "b.txt"}));
}

TEST_F(TzipRunTest, UpdateOfAMissingArchiveMakesIt) {
  EXPECT_EQ(Run(Options({"b.txt"}, TzipCommand::kUpdate)), kTzipDone);
  EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});
}

TEST_F(TzipRunTest, ProgressLineIsRedrawnInPlaceOnATerminalOnly) {
  EXPECT_EQ(Run(Options({"*.txt", "*.dat"}), /*terminal=*/true, 40),
            kTzipDone);
  const std::string err = err_.str();
  EXPECT_EQ(err.find('\n'), std::string::npos) << "one line, redrawn: " << err;
  EXPECT_NE(err.find("\rtzip:   0% a.txt"), std::string::npos) << err;
  EXPECT_NE(err.find("% c.dat"), std::string::npos) << err;
  EXPECT_NE(err.find("\rtzip: 100% "), std::string::npos) << err;
  // Every drawing fits the terminal, and the line is cleared at the end.
  std::istringstream lines(err);
  std::string piece;
  while (std::getline(lines, piece, '\r')) EXPECT_LT(piece.size(), 40u) << piece;
  ASSERT_GE(err.size(), 2u);
  ASSERT_EQ(err.back(), '\r');
  const size_t blank_from = err.rfind('\r', err.size() - 2) + 1;
  const std::string blank = err.substr(blank_from, err.size() - 1 - blank_from);
  EXPECT_FALSE(blank.empty());
  EXPECT_EQ(blank, std::string(blank.size(), ' ')) << "the line is cleared";
  EXPECT_EQ(out_.str(), archive_ + "\n") << "stdout lists only the archive";

  EXPECT_EQ(Run(Options({"*.txt"})), kTzipDone);
  EXPECT_EQ(err_.str(), "") << "no terminal, no progress";

  TzipOptions quiet = Options({"*.txt"});
  quiet.verbosity = TzipVerbosity::kQuiet;
  EXPECT_EQ(Run(quiet, /*terminal=*/true), kTzipDone);
  EXPECT_EQ(err_.str(), "") << "-q";
}

TEST_F(TzipRunTest, LongNamesKeepTheirEndOnANarrowTerminal) {
  const std::string name =
      "a-folder-name-long-enough-to-fill-a-narrow-terminal/last.txt";
  dir_.MakeDir("a-folder-name-long-enough-to-fill-a-narrow-terminal");
  dir_.WriteFile(name, "x");
  // 29 characters: the line never reaches the last column.
  EXPECT_EQ(Run(Options({name}), /*terminal=*/true, 30), kTzipDone);
  EXPECT_NE(err_.str().find("\rtzip: 100% ...rminal/last.txt"), std::string::npos)
      << err_.str();
}

TEST_F(TzipRunTest, VerboseListsEachFileAsZipDoes) {
  TzipOptions options = Options({"a.txt", "b.txt"});
  options.verbosity = TzipVerbosity::kVerbose;
  options.no_compression = {"b.txt"};
  ASSERT_EQ(Run(options), kTzipDone) << err_.str();
  const test::ZipReadResult read = test::ReadZip(archive_);
  ASSERT_EQ(read.entries.size(), 2u);
  const uint64_t a_out = read.entries[0].compressed_size;
  const int saved = static_cast<int>(
      (3000.0 - static_cast<double>(a_out)) * 100.0 / 3000.0 + 0.5);
  EXPECT_EQ(out_.str(),
            "  adding: a.txt\t(in=3000) (out=" + std::to_string(a_out) +
                ") (deflated " + std::to_string(saved) +
                "%)\n"
                "  adding: b.txt\t(in=3) (out=3) (stored 0%)\n"
                "total bytes=3003, compressed=" + std::to_string(a_out + 3) +
                " -> " +
                std::to_string(static_cast<int>(
                    (3003.0 - static_cast<double>(a_out + 3)) * 100.0 /
                        3003.0 +
                    0.5)) +
                "% savings\n" + archive_ + "\n");

  options.masks = {"a.txt"};
  options.command = TzipCommand::kUpdate;
  ASSERT_EQ(Run(options), kTzipDone);
  EXPECT_EQ(out_.str().rfind("updating: a.txt\t(in=3000)", 0), 0u)
      << out_.str();
}

// ---- The program through a pseudo terminal ----------------------------------

std::string Tzip() { return test::BinaryDir() + "/app/tzip"; }

// Runs `command` (a list of arguments) with a pseudo terminal as its
// controlling terminal and stdin/stderr, stdout into `out_file`; answers
// each prompt in `answers` as it appears; prints everything the terminal
// showed (repr) and the exit status.
constexpr char kPtyScript[] = R"(
import os, pty, sys, json
command, out_file, answers = json.loads(sys.argv[1])
pid, fd = pty.fork()
if pid == 0:
    os.dup2(os.open(out_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC), 1)
    os.execv(command[0], command)
seen = b''
at = 0
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    seen += data
    while answers:
        found = seen.find(answers[0][0].encode(), at)
        if found < 0:
            break
        at = found + len(answers[0][0])
        os.write(fd, (answers.pop(0)[1] + '\n').encode())
_, status = os.waitpid(pid, 0)
print(repr(seen.decode('utf-8', 'replace')))
print('exit', os.waitstatus_to_exitcode(status))
)";

test::CommandResult RunOnTerminal(const std::vector<std::string>& command,
                                  const std::string& out_file,
                                  const std::vector<std::pair<std::string,
                                                              std::string>>&
                                      answers,
                                  const test::TempDir& dir) {
  std::string json = "[[";
  for (size_t i = 0; i < command.size(); ++i) {
    json += (i ? ", \"" : "\"") + command[i] + "\"";
  }
  json += "], \"" + out_file + "\", [";
  for (size_t i = 0; i < answers.size(); ++i) {
    json += (i ? ", [\"" : "[\"") + answers[i].first + "\", \"" +
            answers[i].second + "\"]";
  }
  json += "]]";
  const std::string script = dir.WriteFile("on_terminal.py", kPtyScript);
  return RunCommand("env -u TZIP_PASSWORD python3 " + ShellQuote(script) +
                    " " + ShellQuote(json) + " </dev/null");
}

TEST(TzipTerminalTest, PasswordIsAskedTwiceWithoutEcho) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  test::TempDir dir;
  const std::string file = dir.WriteFile("secret.txt", "the secret text");
  const std::string archive = dir.Join("s.zip");
  const auto result = RunOnTerminal(
      {Tzip(), "-e", "-p", "none", archive, file}, dir.Join("out.txt"),
      {{"Enter password: ", "pa55word"}, {"Verify password: ", "pa55word"}},
      dir);
  EXPECT_NE(result.output.find("exit 0"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("Enter password: "), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("Verify password: "), std::string::npos)
      << result.output;
  EXPECT_EQ(result.output.find("pa55word"), std::string::npos)
      << "the password was echoed: " << result.output;
  EXPECT_EQ(dir.ReadFile("out.txt"), archive + "\n");

  const auto read = RunCommand(
      "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
      "print(z.infolist()[0].flag_bits & 1, z.read('secret.txt', "
      "pwd=b'pa55word').decode())\" " +
      ShellQuote(archive));
  EXPECT_EQ(read.output, "1 the secret text\n");
}

TEST(TzipTerminalTest, MistypedPasswordWritesNothing) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  test::TempDir dir;
  const std::string file = dir.WriteFile("secret.txt", "text");
  const std::string archive = dir.Join("s.zip");
  const auto result = RunOnTerminal(
      {Tzip(), "-e", archive, file}, dir.Join("out.txt"),
      {{"Enter password: ", "one"}, {"Verify password: ", "two"}}, dir);
  EXPECT_NE(result.output.find("tzip: the passwords do not match"),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("exit 2"), std::string::npos) << result.output;
  EXPECT_FALSE(platform::Env::Default().FileExists(archive));
}

TEST(TzipTerminalTest, ProgramShowsProgressOnItsTerminal) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  test::TempDir dir;
  dir.WriteFile("data.bin", std::string(3000000, 'd'));
  const std::string archive = dir.Join("p.zip");
  const auto result =
      RunOnTerminal({Tzip(), "-b", dir.path(), archive, "data.bin"},
                    dir.Join("out.txt"), {}, dir);
  EXPECT_NE(result.output.find("exit 0"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\\rtzip: 100% data.bin"), std::string::npos)
      << result.output;
  EXPECT_EQ(dir.ReadFile("out.txt"), archive + "\n");
}

TEST(TzipProgramTest, ExitStatusesOfUsageAndNothingToDo) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  test::TempDir dir;
  const auto help = RunCommand(ShellQuote(Tzip()) + " --help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("  12  nothing to do"), std::string::npos);

  const auto usage = RunCommand(ShellQuote(Tzip()) + " -s 2 " +
                                ShellQuote(dir.Join("a.zip")) + " x");
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_EQ(usage.output.rfind("tzip: volume size 2 is below", 0), 0u)
      << usage.output;

  const auto nothing = RunCommand(ShellQuote(Tzip()) + " " +
                                  ShellQuote(dir.Join("a.zip")) + " " +
                                  ShellQuote(dir.Join("missing.txt")));
  EXPECT_EQ(nothing.exit_code, 12);
  EXPECT_EQ(nothing.output.rfind("tzip: nothing matches " +
                                     dir.Join("missing.txt") + "\n",
                                 0),
            0u)
      << nothing.output;
  EXPECT_FALSE(platform::Env::Default().FileExists(dir.Join("a.zip")));

  // -e without a terminal and without TZIP_PASSWORD: refused, not asked.
  const std::string file = dir.WriteFile("f.txt", "f");
  const auto no_terminal = RunCommand(
      "env -u TZIP_PASSWORD setsid -w " + ShellQuote(Tzip()) + " -e " +
      ShellQuote(dir.Join("a.zip")) + " " + ShellQuote(file) + " </dev/null");
  EXPECT_EQ(no_terminal.exit_code, 2) << no_terminal.output;
  EXPECT_NE(no_terminal.output.find("TZIP_PASSWORD"), std::string::npos);
  const auto from_env = RunCommand(
      "TZIP_PASSWORD=envpw setsid -w " + ShellQuote(Tzip()) + " -e -p none " +
      ShellQuote(dir.Join("a.zip")) + " " + ShellQuote(file) +
      " </dev/null && unzip -P envpw -p " + ShellQuote(dir.Join("a.zip")));
  EXPECT_EQ(from_env.exit_code, 0) << from_env.output;
  EXPECT_EQ(from_env.output, dir.Join("a.zip") + "\nf");
}

}  // namespace
}  // namespace tessaly::app
