// Runs peer tools (unzip, 7z, zip, python3) from tests.
#ifndef TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_
#define TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_

#include <string>

namespace tessaly::test {

struct CommandResult {
  int exit_code = -1;  // the command's exit status; -1 when it did not run
  std::string output;  // stdout and stderr together
};

// Whether RunCommand can run the peer tools: true on POSIX, where the test
// command installs them; false on Windows (and under Wine), which has neither
// /bin/sh nor the tools. Tests that only check what they wrote fall back to
// tests/support/zip_reader.h; tests that need a peer to make their input
// skip, naming kNoPeerTools as the reason.
bool PeerToolsAvailable();
inline constexpr char kNoPeerTools[] =
    "needs the peer tools (zip, unzip, python3) through /bin/sh, which this "
    "system does not have";

// Runs `command` through /bin/sh, capturing stdout and stderr. Without peer
// tools the result has exit code -1 and says why.
CommandResult RunCommand(const std::string& command);

// Quotes `text` for /bin/sh.
std::string ShellQuote(const std::string& text);

// The repository's root and the build tree's root, as compiled in.
std::string SourceDir();
std::string BinaryDir();

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_RUN_COMMAND_H_
