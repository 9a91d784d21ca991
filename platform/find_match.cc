#include "platform/find_match.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/text.h"

namespace tessaly::platform {
namespace {

// Splits upper-cased text into characters (platform/text.h AnsiCharLength:
// a UTF-8 sequence on POSIX, a double-byte pair on Windows, or one byte) so
// that '?' takes a character, not a byte.
std::vector<std::string_view> Characters(const std::string& text) {
  std::vector<std::string_view> chars;
  size_t i = 0;
  while (i < text.size()) {
    const size_t n = AnsiCharLength(text, i);
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

void SortFoundFiles(std::vector<FoundFile>& found) {
  std::vector<std::pair<std::string, FoundFile>> keyed;
  keyed.reserve(found.size());
  for (FoundFile& f : found) {
    keyed.emplace_back(AnsiUpperCase(f.name), std::move(f));
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.second.name < b.second.name;
  });
  for (size_t i = 0; i < keyed.size(); ++i) found[i] = std::move(keyed[i].second);
}

}  // namespace tessaly::platform
