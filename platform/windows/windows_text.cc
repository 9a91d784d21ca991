// The system's ANSI text on Windows: the ANSI code page (CP_ACP) and the OEM
// code page (CP_OEMCP) of the running system, and its case conversion.
//
// Conversions between the two code pages go through UTF-16 with
// MultiByteToWideChar and WideCharToMultiByte. CharToOemBuffA would do the
// same but with "best fit" ('À' -> 'A', '€' -> 'E') and '?' for what has no
// form at all; '?' is a wildcard that no Windows name may hold, and a best
// fit silently makes different names equal, so WC_NO_BEST_FIT_CHARS and '_'
// are used instead, as on POSIX.

#include <string>
#include <vector>

#include "platform/text.h"

#include "platform/windows/win32.h"

namespace tessaly::platform {
namespace {

// Text of code page `from` -> text of code page `to`, with '_' for each
// character that has no form in `to`. An invalid UTF-8 sequence is read as
// U+FFFD, which has no form in an ANSI or OEM code page. For CP_UTF8 as `to`
// WideCharToMultiByte takes neither flags nor a default character (every
// character has a UTF-8 form).
std::string Convert(std::string_view text, UINT from, UINT to) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int wide_length =
      MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string(text.size(), '_');
  std::vector<wchar_t> wide(static_cast<size_t>(wide_length));
  MultiByteToWideChar(from, 0, text.data(), length, wide.data(), wide_length);
  const bool to_utf8 = to == CP_UTF8;
  const DWORD flags = to_utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char kDefault[] = "_";
  const char* fallback = to_utf8 ? nullptr : kDefault;
  const int out_length = WideCharToMultiByte(
      to, flags, wide.data(), wide_length, nullptr, 0, fallback, nullptr);
  if (out_length <= 0) return std::string(text.size(), '_');
  std::string out(static_cast<size_t>(out_length), '\0');
  WideCharToMultiByte(to, flags, wide.data(), wide_length, out.data(),
                      out_length, fallback, nullptr);
  return out;
}

}  // namespace

std::string AnsiToOem(std::string_view ansi) {
  return Convert(ansi, CP_ACP, CP_OEMCP);
}

std::string OemToAnsi(std::string_view oem) {
  return Convert(oem, CP_OEMCP, CP_ACP);
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return Convert(utf8, CP_UTF8, CP_ACP);
}

std::string AnsiToUtf8(std::string_view ansi) {
  return Convert(ansi, CP_ACP, CP_UTF8);
}

std::string AnsiUpperCase(std::string_view ansi) {
  std::string out(ansi);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string AnsiLowerCase(std::string_view ansi) {
  std::string out(ansi);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

int AnsiCharLength(unsigned char lead) { return IsDBCSLeadByte(lead) ? 2 : 1; }

size_t AnsiCharLength(std::string_view text, size_t pos) {
  if (!IsDBCSLeadByte(static_cast<unsigned char>(text[pos]))) return 1;
  return pos + 1 < text.size() && text[pos + 1] != '\0' ? 2 : 1;
}

}  // namespace tessaly::platform
