#include "engine/base/string_list.h"

#include "engine/base/messages.h"
#include "platform/text.h"

namespace tessaly::engine {

EStringListError::EStringListError(int index)
    : platform::Exception(
          FormatMessage("List index out of bounds (%d)", {index})) {}

int TStringList::Add(std::string_view s) {
  strings_.emplace_back(s);
  Changed();
  return Count() - 1;
}

void TStringList::Put(int index, std::string_view s) {
  CheckIndex(index);
  strings_[static_cast<size_t>(index)] = std::string(s);
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  strings_.erase(strings_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  strings_.clear();
  Changed();
}

int TStringList::IndexOf(std::string_view s) {
  if (case_sensitive_) {
    for (int i = 0; i < Count(); ++i) {
      if (strings_[static_cast<size_t>(i)] == s) return i;
    }
    return -1;
  }
  std::string key = platform::AnsiUpperCase(s);
  for (int i = 0; i < Count(); ++i) {
    if (platform::AnsiUpperCase(strings_[static_cast<size_t>(i)]) == key) {
      return i;
    }
  }
  return -1;
}

int TStringList::IndexOfName(std::string_view name) {
  for (int i = 0; i < Count(); ++i) {
    std::string_view part;
    if (NamePart(strings_[static_cast<size_t>(i)], part) &&
        SameText(part, name)) {
      return i;
    }
  }
  return -1;
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index);
  return strings_[static_cast<size_t>(index)];
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == case_sensitive_) return;
  case_sensitive_ = value;
  Changed();
}

void TStringList::Assign(const std::vector<std::string>& lines) {
  if (&lines == &strings_) return;
  Clear();
  for (const std::string& line : lines) Add(line);
}

void TStringList::Assign(const TStringList& other) {
  if (&other == this) return;
  Assign(other.strings_);
}

void TStringList::SetText(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
  Assign(lines);
}

bool TStringList::NamePart(std::string_view s, std::string_view& name) {
  size_t eq = s.find('=');
  if (eq == std::string_view::npos) return false;
  name = s.substr(0, eq);
  return true;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError(index);
}

bool TStringList::SameText(std::string_view a, std::string_view b) const {
  if (case_sensitive_) return a == b;
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace tessaly::engine
