// The pure UTF-8, CP437 and Unicode functions; the system's ANSI text
// functions are in the backends (platform/posix/posix_text.cc,
// platform/windows/windows_text.cc).
//
// UTF-8 decoding here is strict (RFC 3629): overlong forms, surrogates and
// code points above U+10FFFF are invalid. An invalid sequence is consumed
// one byte at a time, so every function makes progress on any input.

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessaly::platform {
namespace {

struct CaseRun {
  char32_t first;
  char32_t last;
  int32_t delta;
  int32_t stride;
};

#include "platform/text_tables.inc"

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the sequence at s[i]; sets *length to the bytes it takes (1 for an
// invalid byte) and returns the code point, or kInvalid.
char32_t Decode(std::string_view s, size_t i, int* length) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const int n = Utf8SequenceLength(lead);
  *length = 1;
  if (n == 1) return lead < 0x80 ? lead : kInvalid;
  if (i + n > s.size()) return kInvalid;
  char32_t cp = lead & (0xFF >> (n + 1));
  for (int k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return kInvalid;
    cp = (cp << 6) | (c & 0x3F);
  }
  static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kInvalid;
  }
  *length = n;
  return cp;
}


template <size_t N>
char32_t MapCase(const CaseRun (&runs)[N], char32_t cp) {
  // The last run whose first code point is <= cp.
  const CaseRun* run = std::upper_bound(
      std::begin(runs), std::end(runs), cp,
      [](char32_t c, const CaseRun& r) { return c < r.first; });
  if (run == std::begin(runs)) return cp;
  --run;
  if (cp > run->last || (cp - run->first) % run->stride != 0) return cp;
  return static_cast<char32_t>(static_cast<int32_t>(cp) + run->delta);
}

template <size_t N>
std::string ConvertCase(std::string_view text, const CaseRun (&runs)[N],
                        char ascii_first, char ascii_last) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      out += (c >= ascii_first && c <= ascii_last) ? static_cast<char>(c ^ 0x20)
                                                   : c;
      ++i;
      continue;
    }
    int length;
    const char32_t cp = Decode(text, i, &length);
    if (cp == kInvalid) {
      out += c;
    } else {
      AppendUtf8(out, MapCase(runs, cp));
    }
    i += length;
  }
  return out;
}

// Unicode code point -> CP437 byte for the upper half, sorted by code point.
struct OemEntry {
  char32_t cp;
  unsigned char byte;
};

std::array<OemEntry, 128> MakeOemIndex() {
  std::array<OemEntry, 128> index{};
  for (int b = 0; b < 128; ++b) {
    index[b] = {kCp437High[b], static_cast<unsigned char>(0x80 + b)};
  }
  std::sort(index.begin(), index.end(),
            [](const OemEntry& a, const OemEntry& b) { return a.cp < b.cp; });
  return index;
}

}  // namespace

int Utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC2) return 1;  // ASCII, continuation bytes, overlong 0xC0/0xC1
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF5) return 4;
  return 1;
}

size_t Utf8SequenceLength(std::string_view utf8, size_t pos) {
  const size_t n = static_cast<size_t>(
      Utf8SequenceLength(static_cast<unsigned char>(utf8[pos])));
  if (pos + n > utf8.size()) return 1;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(utf8[pos + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    int length;
    if (Decode(text, i, &length) == kInvalid) return false;
    i += length;
  }
  return true;
}

std::string Utf8ToCp437(std::string_view utf8) {
  static const std::array<OemEntry, 128> index = MakeOemIndex();
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    int length;
    const char32_t cp = Decode(utf8, i, &length);
    i += length;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    const auto it = std::lower_bound(
        index.begin(), index.end(), cp,
        [](const OemEntry& e, char32_t c) { return e.cp < c; });
    out +=
        (it != index.end() && it->cp == cp) ? static_cast<char>(it->byte) : '_';
  }
  return out;
}

std::string Cp437ToUtf8(std::string_view cp437) {
  std::string out;
  out.reserve(cp437.size() * 2);
  for (const char c : cp437) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, kCp437High[b - 0x80]);
    }
  }
  return out;
}

std::string Utf8UpperCase(std::string_view utf8) {
  return ConvertCase(utf8, kUpperRuns, 'a', 'z');
}

std::string Utf8LowerCase(std::string_view utf8) {
  return ConvertCase(utf8, kLowerRuns, 'A', 'Z');
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace tessaly::platform
