#include "tests/support/run_command.h"

#include <array>
#include <cstdio>
#include <cstdlib>

// The one system difference of the test support: POSIX runs commands
// through popen, Windows has no shell to run the peer tools with.
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tessaly::test {

#ifndef _WIN32

bool PeerToolsAvailable() { return true; }

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  const std::string full = "(" + command + ") 2>&1";
  FILE* pipe = ::popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.output.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

#else

bool PeerToolsAvailable() { return false; }

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  result.output = "not run (" + std::string(kNoPeerTools) + "): " + command;
  return result;
}

#endif

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string SourceDir() {
  const char* env = std::getenv("TESSALY_SOURCE_DIR");
  if (env != nullptr && *env != '\0') return env;
#ifdef TESSALY_SOURCE_DIR
  return TESSALY_SOURCE_DIR;
#else
  return ".";
#endif
}

std::string BinaryDir() {
#ifdef TESSALY_BINARY_DIR
  return TESSALY_BINARY_DIR;
#else
  return ".";
#endif
}

}  // namespace tessaly::test
