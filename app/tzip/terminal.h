// The terminal a command-line program talks to: whether stderr is one, how
// wide it is, and reading a secret (a password) from it without echo.
#ifndef TESSALY_APP_TZIP_TERMINAL_H_
#define TESSALY_APP_TZIP_TERMINAL_H_

#include <optional>
#include <string>

namespace tessaly::app {

// Whether the process's stderr is a terminal.
bool StderrIsTerminal();

// The width in columns of the terminal on stderr; 80 when it is not known.
int StderrColumns();

// Writes `prompt` to the controlling terminal (the console on Windows),
// reads one line from it with echo off and returns it without its line
// break; the terminal's settings are put back, also when the process is
// interrupted meanwhile. std::nullopt when the process has no terminal or
// the input ends before a line break.
std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TERMINAL_H_
