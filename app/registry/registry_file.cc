#include "app/registry/registry_file.h"

#include <array>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/text.h"

// The parser works on logical lines: physical lines with their line ends
// removed, a hex list that ends in '\' joined with the lines that continue
// it. Sections open keys; value lines belong to the last section. Strict
// where the registry editor is strict (the header, the value syntax), so a
// damaged file is reported instead of half-read.

namespace tessaly::app {

namespace {

constexpr std::string_view kHeaderVersion5 =
    "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderRegedit4 = "REGEDIT4";

constexpr std::array<std::string_view, 5> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
    "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }


// UTF-16 code units (little- or big-endian bytes) to UTF-8, up to the first
// NUL unit. An unpaired surrogate becomes U+FFFD; an odd last byte is
// dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool little_endian,
                        bool stop_at_nul) {
  std::string out;
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t i) -> uint32_t {
    const auto lo =
        static_cast<uint8_t>(bytes[2 * i + (little_endian ? 0 : 1)]);
    const auto hi =
        static_cast<uint8_t>(bytes[2 * i + (little_endian ? 1 : 0)]);
    return static_cast<uint32_t>(lo | (hi << 8));
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u == 0 && stop_at_nul) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const uint32_t next = unit(i + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        platform::AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    platform::AppendUtf8(out, u);
  }
  return out;
}

// The content as UTF-8: a UTF-16 file (recognised by its byte-order mark)
// is converted, a UTF-8 byte-order mark removed.
std::string DecodeContent(std::string_view content) {
  if (content.size() >= 2 && static_cast<uint8_t>(content[0]) == 0xFF &&
      static_cast<uint8_t>(content[1]) == 0xFE) {
    return Utf16ToUtf8(content.substr(2), /*little_endian=*/true, false);
  }
  if (content.size() >= 2 && static_cast<uint8_t>(content[0]) == 0xFE &&
      static_cast<uint8_t>(content[1]) == 0xFF) {
    return Utf16ToUtf8(content.substr(2), /*little_endian=*/false, false);
  }
  if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") {
    content.remove_prefix(3);
  }
  return std::string(content);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string RegistryTypeName(uint32_t type) {
  switch (type) {
    case kRegNone:
      return "none";
    case kRegString:
      return "string";
    case kRegExpandString:
      return "expandable string";
    case kRegBinary:
      return "binary";
    case kRegDword:
      return "dword";
    case kRegDwordBigEndian:
      return "big-endian dword";
    case kRegLink:
      return "link";
    case kRegMultiString:
      return "multi-string";
    case kRegQword:
      return "qword";
    default:
      break;
  }
  char text[24];
  std::snprintf(text, sizeof(text), "type 0x%x", type);
  return text;
}

std::string FoldRegistryPath(std::string_view path) {
  std::string clean;
  clean.reserve(path.size());
  for (char c : path) {
    if (c == '\\' && (clean.empty() || clean.back() == '\\')) continue;
    clean += c;
  }
  if (!clean.empty() && clean.back() == '\\') clean.pop_back();
  return platform::AnsiUpperCase(clean);
}

// Turns the lines of one file into a RegistryFile.
class RegistryParser {
 public:
  RegistryParser(std::string_view origin, std::vector<std::string_view> lines)
      : origin_(origin), lines_(std::move(lines)) {}

  RegistryFile Run() {
    RegistryFile file;
    ReadHeader(file);
    while (next_ < lines_.size()) {
      line_number_ = next_ + 1;
      std::string_view line = Trim(lines_[next_++]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        Section(file, line);
      } else {
        Value(file, line);
      }
    }
    return file;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ERegistryException(std::string(origin_) + ", line " +
                             std::to_string(line_number_) + ": " + what);
  }

  void ReadHeader(RegistryFile& file) {
    const std::string_view first =
        lines_.empty() ? std::string_view() : Trim(lines_[0]);
    if (first == kHeaderVersion5) {
      file.format_ = RegistryFile::Format::kVersion5;
    } else if (first == kHeaderRegedit4) {
      file.format_ = RegistryFile::Format::kRegedit4;
    } else {
      throw ERegistryException(
          std::string(origin_) +
          " is not a registry export file: its first line must be \"" +
          std::string(kHeaderVersion5) + "\" or \"" +
          std::string(kHeaderRegedit4) + "\"");
    }
    next_ = 1;
  }

  void Section(RegistryFile& file, std::string_view line) {
    if (line.back() != ']') Fail("a key line must end with ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    const std::string folded = FoldRegistryPath(path);
    const std::string root = folded.substr(0, folded.find('\\'));
    bool known = false;
    for (std::string_view name : kRootNames) known = known || root == name;
    if (!known) {
      Fail("unknown root key \"" +
           std::string(path.substr(0, path.find('\\'))) + "\"");
    }
    if (remove) {
      file.keys_.erase(folded);
      const std::string prefix = folded + "\\";
      auto it = file.keys_.lower_bound(prefix);
      while (it != file.keys_.end() && it->first.starts_with(prefix)) {
        it = file.keys_.erase(it);
      }
      current_ = nullptr;
      return;
    }
    RegistryFile::Key& key = file.keys_[folded];
    if (key.path.empty()) key.path = std::string(path);
    current_ = &key;
  }

  // A quoted string at the front of `s` (which begins with '"'); returns the
  // unescaped text and removes the string from `s`.
  std::string QuotedString(std::string_view& s, const char* what) {
    std::string text;
    size_t i = 1;
    for (; i < s.size(); ++i) {
      const char c = s[i];
      if (c == '"') break;
      if (c == '\\') {
        if (i + 1 >= s.size()) break;
        const char escaped = s[++i];
        if (escaped != '\\' && escaped != '"') {
          Fail(std::string("unknown escape \"\\") + escaped + "\" in " + what +
               " (only \\\\ and \\\" are allowed)");
        }
        text += escaped;
        continue;
      }
      text += c;
    }
    if (i >= s.size()) Fail(std::string("unterminated ") + what);
    s.remove_prefix(i + 1);
    return text;
  }

  // The bytes of a hex list ("01,02,ff"), joined with continuation lines.
  std::vector<uint8_t> HexList(std::string_view s) {
    std::string joined(TrimRight(s));
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (next_ >= lines_.size()) Fail("hex data continues past the end");
      joined += Trim(lines_[next_++]);
    }
    std::vector<uint8_t> bytes;
    std::string_view rest = Trim(joined);
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string_view item = Trim(rest.substr(0, comma));
      if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
          (item.size() == 2 && HexDigit(item[1]) < 0)) {
        Fail("bad byte \"" + std::string(item) + "\" in hex data");
      }
      int value = HexDigit(item[0]);
      if (item.size() == 2) value = value * 16 + HexDigit(item[1]);
      bytes.push_back(static_cast<uint8_t>(value));
      if (comma == std::string_view::npos) break;
      rest = TrimLeft(rest.substr(comma + 1));
    }
    return bytes;
  }

  void Value(RegistryFile& file, std::string_view line) {
    if (current_ == nullptr) Fail("a value outside any key");
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (line.front() == '"') {
      name = QuotedString(line, "value name");
    } else {
      Fail("expected a quoted value name, '@', '[' or ';'");
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') {
      Fail("expected '=' after the name of \"" + name + "\"");
    }
    line = TrimLeft(line.substr(1));
    const std::string folded_name = platform::AnsiUpperCase(name);

    if (line == "-") {
      current_->values.erase(folded_name);
      return;
    }
    RegistryValue value;
    value.name = name;
    if (!line.empty() && line.front() == '"') {
      value.type = kRegString;
      value.text = QuotedString(line, "string");
      if (!Trim(line).empty())
        Fail("text after the string of \"" + name + "\"");
    } else if (line.starts_with("dword:")) {
      const std::string_view digits = Trim(line.substr(6));
      if (digits.empty() || digits.size() > 8) {
        Fail("a dword needs 1 to 8 hex digits");
      }
      uint32_t number = 0;
      for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
          Fail("bad hex digit in dword \"" + std::string(digits) + "\"");
        number = number * 16 + static_cast<uint32_t>(d);
      }
      value.type = kRegDword;
      for (int i = 0; i < 4; ++i) {
        value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
      }
    } else if (line.starts_with("hex:") || line.starts_with("hex(")) {
      std::string_view rest = line.substr(3);
      uint32_t type = kRegBinary;
      if (rest.front() == '(') {
        const size_t close = rest.find(')');
        const std::string_view digits = close == std::string_view::npos
                                            ? std::string_view()
                                            : rest.substr(1, close - 1);
        if (digits.empty() || digits.size() > 8) Fail("bad hex(type)");
        type = 0;
        for (char c : digits) {
          const int d = HexDigit(c);
          if (d < 0) Fail("bad hex(type)");
          type = type * 16 + static_cast<uint32_t>(d);
        }
        rest = rest.substr(close + 1);
      }
      if (rest.empty() || rest.front() != ':') Fail("expected ':' after hex");
      const std::vector<uint8_t> bytes = HexList(rest.substr(1));
      value.type = type;
      if (type == kRegString || type == kRegExpandString) {
        const std::string_view raw(reinterpret_cast<const char*>(bytes.data()),
                                   bytes.size());
        if (file.format_ == RegistryFile::Format::kVersion5) {
          value.text = Utf16ToUtf8(raw, /*little_endian=*/true, true);
        } else {
          value.text = std::string(raw.substr(0, raw.find('\0')));
        }
      } else {
        value.data = bytes;
      }
    } else {
      Fail("the data of \"" + name +
           "\" is neither a quoted string, dword: nor hex: data");
    }
    current_->values[folded_name] = std::move(value);
  }

  std::string_view origin_;
  std::vector<std::string_view> lines_;
  size_t next_ = 0;
  size_t line_number_ = 1;
  RegistryFile::Key* current_ = nullptr;
};

RegistryFile RegistryFile::Parse(std::string_view content,
                                 std::string_view origin) {
  const std::string text = DecodeContent(content);
  RegistryParser parser(origin, SplitLines(text));
  return parser.Run();
}

std::optional<RegistryFile> RegistryFile::Load(platform::Env& env,
                                               const std::string& path) {
  std::unique_ptr<platform::File> file =
      env.OpenFile(path, platform::kOpenRead | platform::kShareDenyNone);
  if (file == nullptr) return std::nullopt;
  std::string content;
  char buffer[16384];
  for (;;) {
    const int64_t got = file->Read(buffer, sizeof(buffer));
    if (got == 0 && file->LastError() != platform::ErrorKind::kNone) {
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  return Parse(content, path);
}

bool RegistryFile::KeyExists(std::string_view path) const {
  const std::string folded = FoldRegistryPath(path);
  if (keys_.contains(folded)) return true;
  const std::string prefix = folded + "\\";
  auto it = keys_.lower_bound(prefix);
  return it != keys_.end() && it->first.starts_with(prefix);
}

const RegistryValue* RegistryFile::FindValue(std::string_view path,
                                             std::string_view name) const {
  auto key = keys_.find(FoldRegistryPath(path));
  if (key == keys_.end()) return nullptr;
  auto value = key->second.values.find(platform::AnsiUpperCase(name));
  return value == key->second.values.end() ? nullptr : &value->second;
}

}  // namespace tessaly::app
