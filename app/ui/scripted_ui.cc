#include "app/ui/scripted_ui.h"

#include "app/collector/form_main.h"

namespace tessaly::app {

std::vector<std::string> ScriptedUi::BoxTexts() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes) texts.push_back(box.text);
  return texts;
}

void ScriptedUi::Run(TFormMain& form) {
  form_ = &form;
  while (!form.Closed()) {
    if (form.Timer.Enabled()) {
      form.Timer.Tick();
      continue;
    }
    ++idle_close_requests;
    form.Close();
  }
  form_ = nullptr;
}

void ScriptedUi::ProcessMessages() {
  const int call = ++process_messages_calls;
  sync_.RunPending();
  if (on_process_messages) on_process_messages(call);
  if (form_ != nullptr && close_requests_at.contains(call)) form_->Close();
}

std::string ScriptedUi::RegistryFileName() {
  return registry_file.empty() ? UserInterface::RegistryFileName()
                               : registry_file;
}

engine::DialogResult ScriptedUi::MessageBox(engine::DialogKind kind,
                                            std::string_view text,
                                            engine::DialogButtons buttons) {
  engine::DialogResult result = engine::mrOk;
  if (kind == engine::DialogKind::kConfirmation) {
    if (answers.empty()) {
      result = engine::UnattendedAnswer(buttons);
    } else {
      result = answers.front();
      answers.pop_front();
    }
  }
  boxes.push_back(Box{kind, std::string(text), buttons, result});
  if (on_box) on_box(boxes.back());
  return result;
}

bool ScriptedUi::InputBox(std::string_view, std::string_view, std::string&) {
  return false;
}

}  // namespace tessaly::app
