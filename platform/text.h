// Text of file names in two groups.
//
// The system's "ANSI" text: what the file system's names are made of, and
// its OEM counterpart, the code page of ZIP entry names written without the
// UTF-8 flag. The build picks the meaning:
// - POSIX (platform/posix/posix_text.cc): ANSI is UTF-8, OEM is CP437, and
//   case conversion is the Unicode simple case mapping; each Ansi* function
//   is the Utf8* / Cp437 function of the second group.
// - Windows (platform/windows/windows_text.cc): ANSI is the system ANSI code
//   page (GetACP, e.g. 1252), OEM the system OEM code page (GetOEMCP, e.g.
//   437 or 850), case conversion is the system's (CharUpperBuffA /
//   CharLowerBuffA), and a character is one byte or a double-byte pair.
//
// The pure UTF-8, CP437 and Unicode functions, the same on every system and
// independent of the process locale.
//
// All functions are thread-safe and never throw other than std::bad_alloc.
#ifndef TESSALY_PLATFORM_TEXT_H_
#define TESSALY_PLATFORM_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly::platform {

// --- The system's ANSI and OEM text -----------------------------------------

// ANSI -> OEM. ASCII (0x00-0x7F) is copied unchanged; a character that has
// no OEM form becomes '_' (never '?', a wildcard that no Windows name may
// hold; and no "best fit" letter: 'À' does not become 'A'), and so does
// every byte that is not a character of the ANSI text (on POSIX, each byte
// of an invalid UTF-8 sequence).
std::string AnsiToOem(std::string_view ansi);

// OEM -> ANSI. ASCII is copied unchanged; a character without an ANSI form
// becomes '_' (on POSIX every CP437 byte has a UTF-8 form).
std::string OemToAnsi(std::string_view oem);

// UTF-8 -> ANSI, for entry names flagged as UTF-8. POSIX: unchanged.
// Windows: a character that has no ANSI form becomes '_' (as in AnsiToOem),
// and so does each invalid UTF-8 sequence.
std::string Utf8ToAnsi(std::string_view utf8);

// ANSI -> UTF-8, for writing such names back. POSIX: unchanged. Windows:
// every character of the ANSI code page has a UTF-8 form.
std::string AnsiToUtf8(std::string_view ansi);

// Upper/lower case of ANSI text; the length in characters is kept. POSIX:
// Utf8UpperCase/Utf8LowerCase. Windows: the system's conversion of the ANSI
// code page ('é' 0xE9 <-> 'É' 0xC9 and 'ÿ' 0xFF -> 'Ÿ' 0x9F in 1252).
std::string AnsiUpperCase(std::string_view ansi);
std::string AnsiLowerCase(std::string_view ansi);

// The number of bytes of the character that `lead` begins: POSIX, the
// UTF-8 sequence length (Utf8SequenceLength); Windows, 2 for a lead byte of
// a double-byte code page (IsDBCSLeadByte), else 1. Always >= 1, so that a
// scan advances; the following bytes may be missing or invalid, see the
// overload below.
int AnsiCharLength(unsigned char lead);

// The number of bytes of the character at text[pos] as far as the text
// holds it: AnsiCharLength of its lead byte when all its following bytes
// are present and valid (POSIX: UTF-8 continuation bytes; Windows: any byte
// but NUL), else 1. REQUIRES: pos < text.size().
size_t AnsiCharLength(std::string_view text, size_t pos);

// --- UTF-8, CP437 and Unicode ------------------------------------------------

// UTF-8 -> CP437 bytes. Each character becomes one byte; a character that has
// no CP437 form becomes '_', and so does every byte of an invalid UTF-8
// sequence (a stray continuation byte, a truncated or overlong sequence, a
// surrogate). ASCII (0x00-0x7F) is copied unchanged.
std::string Utf8ToCp437(std::string_view utf8);

// CP437 bytes -> UTF-8. Every one of the 256 bytes maps to a character;
// 0x00-0x7F are taken as ASCII (not as the graphic symbols of the display
// font), 0x80-0xFF as the IBM PC characters (0x82 'é', 0x8E 'Ä', 0xE1 'ß').
std::string Cp437ToUtf8(std::string_view cp437);

// Unicode simple case mapping (UnicodeData.txt fields 12 and 13) applied to
// each code point; mappings that would change the length in characters (the
// full mappings, e.g. 'ß' -> "SS") are not applied. Bytes that are not part
// of a valid UTF-8 sequence are copied unchanged. Independent of the process
// locale.
std::string Utf8UpperCase(std::string_view utf8);
std::string Utf8LowerCase(std::string_view utf8);

// The length of the UTF-8 sequence a lead byte starts: 1 for ASCII, 2..4 for
// the lead bytes of multi-byte sequences, and 1 for continuation bytes and
// bytes that never occur in UTF-8 (0x80-0xBF, 0xC0, 0xC1, 0xF5-0xFF), so that
// a scan always advances.
int Utf8SequenceLength(unsigned char lead);

// The bytes of the valid UTF-8 sequence at utf8[pos]: Utf8SequenceLength of
// its lead byte when its continuation bytes are all present, else 1.
// REQUIRES: pos < utf8.size().
size_t Utf8SequenceLength(std::string_view utf8, size_t pos);

// Whether `text` is valid UTF-8 throughout (RFC 3629: no overlong forms,
// surrogates or code points above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of one code point (up to U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_TEXT_H_
