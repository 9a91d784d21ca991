// A DialogService for tests: records every box it is shown and answers from
// queues that the test fills beforehand.
#ifndef TESSALY_ENGINE_BASE_SCRIPTED_DIALOG_SERVICE_H_
#define TESSALY_ENGINE_BASE_SCRIPTED_DIALOG_SERVICE_H_

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/dialog_service.h"

namespace tessaly::engine {

class ScriptedDialogService final : public DialogService {
 public:
  struct Box {
    DialogKind kind;
    std::string text;
    DialogButtons buttons;
    DialogResult result;  // what the service answered
  };
  struct Input {
    std::string caption;
    std::string prompt;
    std::string initial_value;
    bool confirmed;  // what the service answered
  };

  // A confirmation takes the front of `answers` (returned as given, even
  // when that button was not offered); with the queue empty it answers
  // UnattendedAnswer(buttons). Error and information boxes are recorded,
  // answer mrOk and leave the queue alone.
  DialogResult MessageBox(DialogKind kind, std::string_view text,
                          DialogButtons buttons) override;

  // Takes the front of `inputs`: a text confirms and replaces `value`,
  // std::nullopt cancels. With the queue empty the box is cancelled.
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

  // Everything shown, in order.
  std::vector<Box> boxes;
  std::vector<Input> input_boxes;

  // What to answer.
  std::deque<DialogResult> answers;
  std::deque<std::optional<std::string>> inputs;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_SCRIPTED_DIALOG_SERVICE_H_
