// Runs peer tools (unzip, 7z, zip, python3) from tests.
#ifndef TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_
#define TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_

#include <string>

namespace tessaly::test {

struct CommandResult {
  int exit_code = -1;  // the command's exit status; -1 when it did not run
  std::string output;  // stdout and stderr together
};

// Runs `command` through /bin/sh, capturing stdout and stderr.
CommandResult RunCommand(const std::string& command);

// Quotes `text` for /bin/sh.
std::string ShellQuote(const std::string& text);

// The repository's root and the build tree's root, as compiled in.
std::string SourceDir();
std::string BinaryDir();

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_
