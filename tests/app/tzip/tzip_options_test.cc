// tzip's command line: volume sizes as Info-ZIP's zip writes them, the
// combinations it refuses, and where the password comes from.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tzip/tzip_options.h"
#include "app/tzip/tzip_password.h"
#include "app/tzip/tzip_report.h"

namespace tessaly::app {
namespace {

struct SizeCase {
  const char* text;
  int64_t expected;  // 0: refused
};

std::ostream& operator<<(std::ostream& out, const SizeCase& c) {
  return out << '"' << c.text << '"';
}

class VolumeSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(VolumeSizeTest, ReadsZipSizesAndRefusesTheRest) {
  const SizeCase& c = GetParam();
  std::string error;
  const std::optional<int64_t> size = ParseVolumeSize(c.text, error);
  if (c.expected == 0) {
    EXPECT_FALSE(size) << "read as " << size.value_or(0);
    EXPECT_NE(error.find(c.text), std::string::npos) << error;
  } else {
    ASSERT_TRUE(size) << error;
    EXPECT_EQ(*size, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VolumeSizeTest,
    ::testing::Values(
        SizeCase{"65536", 65536}, SizeCase{"2097152", 2097152},
        SizeCase{"64k", 65536}, SizeCase{"640k", 655360},
        SizeCase{"2m", 2097152}, SizeCase{"2M", 2097152},
        SizeCase{"1g", 1073741824}, SizeCase{"3G", 3221225472},
        SizeCase{"1t", 1099511627776},
        // Below the smallest volume: said, never raised silently.
        SizeCase{"65535", 0}, SizeCase{"1000", 0}, SizeCase{"2", 0},
        SizeCase{"63k", 0},
        // Not a size.
        SizeCase{"", 0}, SizeCase{"k", 0}, SizeCase{"0", 0},
        SizeCase{"-2m", 0}, SizeCase{"2mb", 0}, SizeCase{"2x", 0},
        SizeCase{"1.5m", 0}, SizeCase{" 2m", 0},
        SizeCase{"99999999999t", 0}, SizeCase{"99999999999999999999", 0}));

std::optional<TzipOptions> ParseArgs(std::vector<std::string> args,
                                 std::string* error = nullptr) {
  std::string message;
  std::optional<TzipOptions> options = ParseTzipArguments(args, message);
  if (error != nullptr) *error = message;
  return options;
}

TEST(TzipArgumentsTest, DefaultsSuitLargeFilesAndAskNoPassword) {
  const auto options = ParseArgs({"a.zip", "*.txt"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->zip64, engine::zmAuto);
  EXPECT_FALSE(options->encrypt);
  EXPECT_FALSE(options->password);
  EXPECT_EQ(options->verbosity, TzipVerbosity::kNormal);
  EXPECT_EQ(options->split_size, 0);
}

TEST(TzipArgumentsTest, CollectorSettingsReadAsTheCollectorWrites) {
  const auto options = ParseArgs({"-9", "-s", "2m", "--classic-naming", "-p",
                              "none", "-R", "--zip64", "disabled", "O.zip",
                              "Data/*.dat"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->split_size, 2097152);
  EXPECT_TRUE(options->classic_naming);
  EXPECT_EQ(options->zip64, engine::zmDisabled);
  EXPECT_EQ(options->masks, std::vector<std::string>{"Data/*.dat"});
}

TEST(TzipArgumentsTest, PasswordOptions) {
  auto options = ParseArgs({"-e", "a.zip", "x"});
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->encrypt);
  EXPECT_FALSE(options->password);
  EXPECT_EQ(options->archive, "a.zip") << "-e takes no value";

  options = ParseArgs({"-P", "secret", "a.zip", "x"});
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->encrypt);
  EXPECT_EQ(options->password, "secret");

  std::string error;
  EXPECT_FALSE(ParseArgs({"-P", "", "a.zip", "x"}, &error));
  EXPECT_NE(error.find("empty"), std::string::npos) << error;
}

TEST(TzipArgumentsTest, QuietAndVerbose) {
  EXPECT_EQ(ParseArgs({"-q", "a.zip", "x"})->verbosity, TzipVerbosity::kQuiet);
  EXPECT_EQ(ParseArgs({"-v", "a.zip", "x"})->verbosity, TzipVerbosity::kVerbose);
}

TEST(TzipArgumentsTest, Threads) {
  EXPECT_FALSE(ParseArgs({"a.zip", "x"})->threads) << "the engine's default";
  EXPECT_EQ(ParseArgs({"--threads", "0", "a.zip", "x"})->threads, 0);
  EXPECT_EQ(ParseArgs({"--threads", "2", "a.zip", "x"})->threads, 2);
  EXPECT_EQ(ParseArgs({"--threads", "64", "a.zip", "x"})->threads, 64);
  for (const char* bad : {"65", "-1", "", "2x", "two", "007"}) {
    std::string error;
    EXPECT_FALSE(ParseArgs({"--threads", bad, "a.zip", "x"}, &error)) << bad;
    EXPECT_NE(error.find("--threads"), std::string::npos) << error;
  }
}

TEST(TzipArgumentsTest, SettingsThatWouldBeIgnoredAreRefused) {
  std::string error;
  EXPECT_FALSE(ParseArgs({"-u", "-s", "2m", "a.zip", "x"}, &error));
  EXPECT_NE(error.find("-s applies only"), std::string::npos) << error;
  EXPECT_FALSE(ParseArgs({"--classic-naming", "a.zip", "x"}, &error));
  EXPECT_NE(error.find("-s"), std::string::npos) << error;
  EXPECT_FALSE(ParseArgs({"-s", "1000", "a.zip", "x"}, &error));
  EXPECT_NE(error.find("64k"), std::string::npos) << error;
  // Without -u the same options are fine.
  EXPECT_TRUE(ParseArgs({"-s", "64k", "--classic-naming", "a.zip", "x"}));
}

TEST(TzipArgumentsTest, UsageListsEveryExitStatus) {
  const std::string usage = TzipUsage();
  for (const char* line :
       {"\n  0   all requested work was done", "\n  1   an error stopped",
        "\n  2   usage error", "\n  3   rolled back", "\n  4   done, but",
        "\n  12  nothing to do"}) {
    EXPECT_NE(usage.find(line), std::string::npos) << line;
  }
}

// ---- Password ---------------------------------------------------------------

// Answers prompts from a list and records them.
struct ScriptedTerminal {
  std::vector<std::optional<std::string>> answers;
  std::vector<std::string> prompts;

  SecretReader Reader() {
    return [this](const std::string& prompt) -> std::optional<std::string> {
      prompts.push_back(prompt);
      if (prompts.size() > answers.size()) return std::nullopt;
      return answers[prompts.size() - 1];
    };
  }
};

TzipOptions WithEncryption(std::optional<std::string> password = {}) {
  TzipOptions options;
  options.encrypt = true;
  options.password = std::move(password);
  return options;
}

TEST(TzipPasswordTest, AskedTwiceOnTheTerminal) {
  ScriptedTerminal terminal{{"s3cret", "s3cret"}, {}};
  std::string error;
  EXPECT_EQ(ResolveTzipPassword(WithEncryption(), nullptr, terminal.Reader(),
                                error),
            "s3cret");
  EXPECT_EQ(terminal.prompts,
            (std::vector<std::string>{"Enter password: ", "Verify password: "}));
}

TEST(TzipPasswordTest, TyposAndEmptyPasswordsAreRefused) {
  std::string error;
  ScriptedTerminal typo{{"s3cret", "s3cert"}, {}};
  EXPECT_FALSE(
      ResolveTzipPassword(WithEncryption(), nullptr, typo.Reader(), error));
  EXPECT_NE(error.find("do not match"), std::string::npos) << error;

  ScriptedTerminal empty{{""}, {}};
  EXPECT_FALSE(
      ResolveTzipPassword(WithEncryption(), nullptr, empty.Reader(), error));
  EXPECT_NE(error.find("empty"), std::string::npos) << error;

  ScriptedTerminal none{{}, {}};
  EXPECT_FALSE(
      ResolveTzipPassword(WithEncryption(), nullptr, none.Reader(), error));
  EXPECT_NE(error.find("TZIP_PASSWORD"), std::string::npos) << error;
}

TEST(TzipPasswordTest, EnvironmentOrOptionAskNothing) {
  ScriptedTerminal terminal{{"typed", "typed"}, {}};
  std::string error;
  EXPECT_EQ(ResolveTzipPassword(WithEncryption(), "from-env",
                                terminal.Reader(), error),
            "from-env");
  EXPECT_EQ(ResolveTzipPassword(WithEncryption("given"), "from-env",
                                terminal.Reader(), error),
            "given")
      << "-P wins over the environment";
  EXPECT_TRUE(terminal.prompts.empty());
  // An empty variable counts as unset.
  EXPECT_EQ(
      ResolveTzipPassword(WithEncryption(), "", terminal.Reader(), error),
      "typed");
}

TEST(TzipPasswordTest, WithoutEncryptionTheEnvironmentIsNotUsed) {
  ScriptedTerminal terminal;
  std::string error;
  EXPECT_EQ(ResolveTzipPassword(TzipOptions{}, "from-env", terminal.Reader(),
                                error),
            "");
  EXPECT_TRUE(terminal.prompts.empty());
}

TEST(TzipReportTest, SavedPercentRoundsAsZipDoes) {
  EXPECT_EQ(SavedPercent(1000, 120), 88);
  EXPECT_EQ(SavedPercent(3, 1), 67);
  EXPECT_EQ(SavedPercent(200, 1), 100);  // 99.5 rounds up
  EXPECT_EQ(SavedPercent(1000, 1000), 0);
  EXPECT_EQ(SavedPercent(1000, 1065), 0) << "grown data saves nothing";
  EXPECT_EQ(SavedPercent(0, 0), 0);
}

}  // namespace
}  // namespace tessaly::app
