// Non-ASCII names in tests. Tests spell them in UTF-8; the engine takes the
// system's "ANSI" text (platform/text.h): UTF-8 on POSIX, the ANSI code page
// (e.g. 1252) on Windows, where a character is one byte.
#ifndef TESSALY_TESTS_SUPPORT_ANSI_TEXT_H_
#define TESSALY_TESTS_SUPPORT_ANSI_TEXT_H_

#include <string>
#include <string_view>

namespace tessaly::test {

// `utf8` in the system's ANSI text; "" when a character has no ANSI form
// (no best-fit letters).
std::string Ansi(std::string_view utf8);

// Whether ANSI text is UTF-8 (POSIX), so that a character may take several
// bytes; false where it is a code page of one byte per character.
bool AnsiIsUtf8();

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_ANSI_TEXT_H_
