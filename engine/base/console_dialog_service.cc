#include "engine/base/console_dialog_service.h"

namespace tessaly::engine {

namespace {

std::string_view Trim(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

ConsoleDialogService::ConsoleDialogService(std::istream& in, std::ostream& out)
    : in_(in), out_(out) {}

std::string_view ConsoleDialogService::Heading(DialogKind kind) {
  switch (kind) {
    case DialogKind::kError:
      return "Error:";
    case DialogKind::kInformation:
      return "Information:";
    case DialogKind::kConfirmation:
      return "Confirmation:";
  }
  return "Confirmation:";
}

std::string ConsoleDialogService::ButtonLine(DialogButtons buttons) {
  std::string line = "[";
  bool first = true;
  for (DialogButton button : kAllDialogButtons) {
    if (!(buttons & button)) continue;
    if (!first) line.push_back('/');
    line.append(DialogButtonName(button));
    first = false;
  }
  line.push_back(']');
  return line;
}

DialogResult ConsoleDialogService::MessageBox(DialogKind kind,
                                              std::string_view text,
                                              DialogButtons buttons) {
  out_ << Heading(kind) << '\n' << text << '\n';
  if (kind != DialogKind::kConfirmation) {
    out_.flush();
    return mrOk;
  }
  std::string button_line = ButtonLine(buttons);
  std::string answer;
  while (true) {
    out_ << button_line << '\n';
    out_.flush();
    if (!std::getline(in_, answer)) return UnattendedAnswer(buttons);
    std::string_view given = Trim(answer);
    for (DialogButton button : kAllDialogButtons) {
      if ((buttons & button) &&
          EqualsIgnoringAsciiCase(given, DialogButtonName(button))) {
        return DialogButtonResult(button);
      }
    }
  }
}

bool ConsoleDialogService::InputBox(std::string_view caption,
                                    std::string_view prompt,
                                    std::string& value) {
  out_ << caption << '\n' << prompt;
  out_.flush();
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << '\n';
    out_.flush();
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  value = std::move(line);
  return true;
}

}  // namespace tessaly::engine
