#include "platform/find_match.h"

#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/text.h"

namespace tessaly::platform {
namespace {

// Splits upper-cased text into characters (each a whole UTF-8 sequence, or
// one invalid byte) so that '?' takes a character, not a byte.
std::vector<std::string_view> Characters(const std::string& text) {
  std::vector<std::string_view> chars;
  size_t i = 0;
  while (i < text.size()) {
    size_t n = Utf8SequenceLength(static_cast<unsigned char>(text[i]));
    if (i + n > text.size()) n = 1;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) n = 1;
    }
    chars.push_back(std::string_view(text).substr(i, n));
    i += n;
  }
  return chars;
}

// Classic wildcard matching with one backtrack point: on a mismatch after a
// '*', let that star take one more character and retry.
bool Match(const std::vector<std::string_view>& p,
           const std::vector<std::string_view>& s) {
  size_t pi = 0, si = 0;
  size_t star = std::string::npos, star_si = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == "*") {
      star = pi++;
      star_si = si;
    } else if (pi < p.size() && (p[pi] == "?" || p[pi] == s[si])) {
      ++pi;
      ++si;
    } else if (star != std::string::npos) {
      pi = star + 1;
      si = ++star_si;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == "*") ++pi;
  return pi == p.size();
}

}  // namespace

bool FindPatternMatches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return false;
  const std::string p = AnsiUpperCase(pattern);
  std::string s = AnsiUpperCase(name);
  const auto pattern_chars = Characters(p);
  if (Match(pattern_chars, Characters(s))) return true;
  if (s.find('.') != std::string::npos) return false;
  s += '.';
  return Match(pattern_chars, Characters(s));
}

bool PassesAttributeFilter(uint32_t attributes, uint32_t attribute_filter) {
  constexpr uint32_t kSelective =
      kAttrHidden | kAttrSystem | kAttrVolumeLabel | kAttrDirectory;
  return (attributes & kSelective & ~attribute_filter) == 0;
}

}  // namespace tessaly::platform
