// ScriptedUi: a user interface without a screen, for tests. It records
// every box, answers confirmations from a queue, runs the window's timer at
// once instead of waiting, and makes close requests where a test asks for
// them: at chosen message pumps (as if the close button were pressed while
// the job runs) and whenever the window is left open with nothing to do.
#ifndef TESSALY_APP_UI_SCRIPTED_UI_H_
#define TESSALY_APP_UI_SCRIPTED_UI_H_

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/collector/user_interface.h"
#include "widgets/synchronizer.h"

namespace tessaly::app {

class ScriptedUi final : public UserInterface {
 public:
  struct Box {
    engine::DialogKind kind;
    std::string text;
    engine::DialogButtons buttons;
    engine::DialogResult result;  // what was answered
  };

  ScriptedUi() = default;

  // ---- Script -------------------------------------------------------------
  // Answers for confirmations, front first; when empty a confirmation takes
  // engine::UnattendedAnswer of its buttons. Error and information boxes
  // answer OK and leave the queue alone.
  std::deque<engine::DialogResult> answers;
  // Called with each box after it was recorded and answered, before the
  // answer is returned (for example to repair a fault before Retry).
  std::function<void(const Box&)> on_box;
  // ProcessMessages calls (counted from 1) at which the user asks to close.
  std::set<int> close_requests_at;
  // Called at every ProcessMessages with its number, before close requests.
  std::function<void(int)> on_process_messages;
  // The registry export to read; "" gives the process default.
  std::string registry_file;

  // ---- Record -------------------------------------------------------------
  std::vector<Box> boxes;
  int process_messages_calls = 0;
  int panel_repaints = 0;
  int idle_close_requests = 0;  // close requests made with nothing to do
  bool window_closed = false;

  // The texts of the recorded boxes, in order.
  std::vector<std::string> BoxTexts() const;

  // ---- UserInterface --------------------------------------------------------
  // Fires the timer while it is enabled; when the window stays open with the
  // timer off, requests a close (answered from the queue) until it closes.
  void Run(TFormMain& form) override;
  void ProcessMessages() override;
  void RepaintPanel() override { ++panel_repaints; }
  void CloseWindow() override { window_closed = true; }
  widgets::Synchronizer& GuiSynchronizer() override { return sync_; }
  std::string RegistryFileName() override;

  engine::DialogResult MessageBox(engine::DialogKind kind,
                                  std::string_view text,
                                  engine::DialogButtons buttons) override;
  // Cancelled.
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

 private:
  widgets::QueuedSynchronizer sync_;
  TFormMain* form_ = nullptr;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_SCRIPTED_UI_H_
