// The terminal through the Win32 console: the console's own input buffer
// (CONIN$) with echo switched off for secrets.
#include <io.h>

#include "app/tzip/terminal.h"
#include "platform/windows/win32.h"

namespace tessaly::app {

namespace {

// The console input whose echo is off and its mode before, for the Ctrl-C
// handler, which puts the mode back before the process ends.
HANDLE g_echo_off_input = INVALID_HANDLE_VALUE;
DWORD g_saved_mode = 0;

BOOL WINAPI RestoreEcho(DWORD /*event*/) {
  if (g_echo_off_input != INVALID_HANDLE_VALUE) {
    SetConsoleMode(g_echo_off_input, g_saved_mode);
  }
  return FALSE;  // the next handler (the default one) ends the process
}

}  // namespace

bool StderrIsTerminal() { return _isatty(2) != 0; }

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt) {
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return std::nullopt;
  HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return std::nullopt;
  }
  DWORD written = 0;
  if (output != INVALID_HANDLE_VALUE) {
    WriteConsoleA(output, prompt.data(), static_cast<DWORD>(prompt.size()),
                  &written, nullptr);
  }
  g_echo_off_input = input;
  g_saved_mode = mode;
  SetConsoleCtrlHandler(RestoreEcho, TRUE);
  SetConsoleMode(input, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                            ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::string line;
  bool complete = false;
  char buffer[256];
  DWORD got = 0;
  while (!complete && ReadConsoleA(input, buffer, sizeof(buffer), &got,
                                   nullptr) &&
         got > 0) {
    for (DWORD i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        complete = true;
        break;
      }
      if (buffer[i] != '\r') line += buffer[i];
    }
  }
  SetConsoleMode(input, mode);
  SetConsoleCtrlHandler(RestoreEcho, FALSE);
  g_echo_off_input = INVALID_HANDLE_VALUE;
  if (output != INVALID_HANDLE_VALUE) {
    WriteConsoleA(output, "\r\n", 2, &written, nullptr);
    CloseHandle(output);
  }
  CloseHandle(input);
  if (!complete) return std::nullopt;
  return line;
}

}  // namespace tessaly::app
