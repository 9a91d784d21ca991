// Text conversions between the file system's "ANSI" text (UTF-8 bytes) and
// the OEM code page of ZIP entry names (CP437), and locale-independent case
// folding. All functions are pure, thread-safe and never throw other than
// std::bad_alloc.
#ifndef TESSALY_PLATFORM_TEXT_H_
#define TESSALY_PLATFORM_TEXT_H_

#include <string>
#include <string_view>

namespace tessaly::platform {

// UTF-8 -> CP437 bytes. Each character becomes one byte; a character that has
// no CP437 form becomes '_', and so does every byte of an invalid UTF-8
// sequence (a stray continuation byte, a truncated or overlong sequence, a
// surrogate). ASCII (0x00-0x7F) is copied unchanged.
std::string AnsiToOem(std::string_view utf8);

// CP437 bytes -> UTF-8. Every one of the 256 bytes maps to a character;
// 0x00-0x7F are taken as ASCII (not as the graphic symbols of the display
// font), 0x80-0xFF as the IBM PC characters (0x82 'é', 0x8E 'Ä', 0xE1 'ß').
std::string OemToAnsi(std::string_view cp437);

// Unicode simple case mapping (UnicodeData.txt fields 12 and 13) applied to
// each code point; mappings that would change the length in characters (the
// full mappings, e.g. 'ß' -> "SS") are not applied. Bytes that are not part
// of a valid UTF-8 sequence are copied unchanged. Independent of the process
// locale.
std::string AnsiUpperCase(std::string_view utf8);
std::string AnsiLowerCase(std::string_view utf8);

// The length of the UTF-8 sequence a lead byte starts: 1 for ASCII, 2..4 for
// the lead bytes of multi-byte sequences, and 1 for continuation bytes and
// bytes that never occur in UTF-8 (0x80-0xBF, 0xC0, 0xC1, 0xF5-0xFF), so that
// a scan always advances.
int Utf8SequenceLength(unsigned char lead);

// Appends the UTF-8 form of one code point (up to U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_TEXT_H_
