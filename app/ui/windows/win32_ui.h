// Win32Ui: the collector's window on Windows.
//
// The window is app/ui/windows/win32_main_window.h; boxes are
// app/ui/windows/win32_message_box.h.
// The message pump is PeekMessage / TranslateMessage / DispatchMessage. The
// indicator's timing thread queues its steps in a QueuedSynchronizer and
// posts a message to a message-only window of this thread, whose handler
// runs them; every modal loop (the boxes' too) dispatches it, so the band
// keeps moving wherever the GUI thread processes messages.
//
// For automated tests only:
// - TESSALY_TEST_AUTO_ANSWER_MS=<ms>: every box presses its first button
//   (OK, Yes, Abort) that many milliseconds after it opens, so a run ends
//   without a person.
// - TESSALY_TEST_BOX_LOG=<file>: each box's heading ("Error:",
//   "Information:", "Confirmation:") and text are appended to that file.
// - TESSALY_TEST_CLOSE_AT_PUMP=<n>: the n-th message pump of the job
//   (ProcessMessages, counted from 1) first posts the window a close
//   request, as the close button would at that moment.
//
// Thread rules: GUI thread only (the thread that created the object).
#ifndef TESSALY_APP_UI_WINDOWS_WIN32_UI_H_
#define TESSALY_APP_UI_WINDOWS_WIN32_UI_H_

#include <memory>
#include <string>
#include <string_view>

#include "app/collector/user_interface.h"
#include "widgets/synchronizer.h"

struct HWND__;

namespace tessaly::app {

class Win32MainWindow;

class Win32Ui final : public UserInterface {
 public:
  Win32Ui();
  ~Win32Ui() override;

  void Run(TFormMain& form) override;
  void ProcessMessages() override;
  void RepaintPanel() override;
  void CloseWindow() override;
  widgets::Synchronizer& GuiSynchronizer() override { return sync_; }
  // Windows reads the registry itself: no export file.
  std::string RegistryFileName() override { return std::string(); }

  engine::DialogResult MessageBox(engine::DialogKind kind,
                                  std::string_view text,
                                  engine::DialogButtons buttons) override;
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

  // Runs the indicator's queued steps; called from the wake window.
  void RunPendingSteps() { sync_.RunPending(); }

 private:
  void OnTimer();
  void TimerChanged();
  // The window that owns boxes: the main window while it is on the screen.
  HWND__* BoxOwner() const;
  void LogBox(engine::DialogKind kind, std::string_view text) const;

  widgets::QueuedSynchronizer sync_;
  HWND__* wake_window_ = nullptr;  // message-only window
  std::unique_ptr<Win32MainWindow> window_;
  TFormMain* form_ = nullptr;
  int auto_answer_ms_ = -1;  // < 0: boxes wait for the user
  std::string box_log_;      // "" : no log
  long close_at_pump_ = 0;   // 0: never
  long pumps_ = 0;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_WINDOWS_WIN32_UI_H_
