#include "tests/support/ansi_text.h"

// The conversion is the system's own: identity on POSIX, the Win32 code page
// functions on Windows.
#ifdef _WIN32
#include "platform/windows/win32.h"
#endif

namespace tessaly::test {

#ifndef _WIN32

std::string Ansi(std::string_view utf8) { return std::string(utf8); }

bool AnsiIsUtf8() { return true; }

#else

std::string Ansi(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const int length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                              utf8.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::wstring wide(wide_length, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length,
                      wide.data(), wide_length);
  BOOL lossy = FALSE;
  const int ansi_length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                          wide_length, nullptr, 0, nullptr, &lossy);
  if (ansi_length <= 0 || lossy) return std::string();
  std::string ansi(ansi_length, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length,
                      ansi.data(), ansi_length, nullptr, &lossy);
  return ansi;
}

bool AnsiIsUtf8() { return GetACP() == CP_UTF8; }

#endif

}  // namespace tessaly::test
