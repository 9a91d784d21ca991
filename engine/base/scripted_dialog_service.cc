#include "engine/base/scripted_dialog_service.h"

#include <utility>

namespace tessaly::engine {

DialogResult ScriptedDialogService::MessageBox(DialogKind kind,
                                               std::string_view text,
                                               DialogButtons buttons) {
  DialogResult result = mrOk;
  if (kind == DialogKind::kConfirmation) {
    if (answers.empty()) {
      result = UnattendedAnswer(buttons);
    } else {
      result = answers.front();
      answers.pop_front();
    }
  }
  boxes.push_back(Box{kind, std::string(text), buttons, result});
  return result;
}

bool ScriptedDialogService::InputBox(std::string_view caption,
                                     std::string_view prompt,
                                     std::string& value) {
  std::optional<std::string> answer;
  if (!inputs.empty()) {
    answer = std::move(inputs.front());
    inputs.pop_front();
  }
  input_boxes.push_back(Input{std::string(caption), std::string(prompt), value,
                              answer.has_value()});
  if (!answer) return false;
  value = std::move(*answer);
  return true;
}

}  // namespace tessaly::engine
