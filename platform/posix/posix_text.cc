// The system's ANSI text on POSIX: names are UTF-8 bytes, the OEM code page
// is CP437, and case conversion is the Unicode simple case mapping, so that
// the result does not depend on the process locale.

#include "platform/text.h"

namespace tessaly::platform {

std::string AnsiToOem(std::string_view ansi) { return Utf8ToCp437(ansi); }

std::string OemToAnsi(std::string_view oem) { return Cp437ToUtf8(oem); }

std::string Utf8ToAnsi(std::string_view utf8) { return std::string(utf8); }

std::string AnsiToUtf8(std::string_view ansi) { return std::string(ansi); }

std::string AnsiUpperCase(std::string_view ansi) { return Utf8UpperCase(ansi); }

std::string AnsiLowerCase(std::string_view ansi) { return Utf8LowerCase(ansi); }

int AnsiCharLength(unsigned char lead) { return Utf8SequenceLength(lead); }

size_t AnsiCharLength(std::string_view text, size_t pos) {
  return Utf8SequenceLength(text, pos);
}

}  // namespace tessaly::platform
