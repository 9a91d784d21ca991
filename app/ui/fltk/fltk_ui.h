// FltkUi: the collector's desktop window, drawn with FLTK.
//
// The window is fixed at 300 x 112 pixels (FLTK sizes the client area; with
// no window manager, as under Xvfb, that is the whole window), centred on
// the screen, with a close button only. It holds the bold label, the sunken
// panel and the busy indicator as TFormMain describes them. Boxes are modal
// FLTK windows with the named buttons. Fl::check() is the message pump, and
// the indicator's timing thread wakes the loop with Fl::awake.
//
// For automated tests only: when TESSALY_TEST_AUTO_ANSWER_MS is set to a
// number, every box presses its first button (OK, Yes, Abort) that many
// milliseconds after it opens, so a run under Xvfb ends without a person.
//
// Thread rules: GUI thread only (the thread that created the object).
#ifndef TESSALY_APP_UI_FLTK_FLTK_UI_H_
#define TESSALY_APP_UI_FLTK_FLTK_UI_H_

#include <memory>
#include <string>
#include <string_view>

#include "app/collector/user_interface.h"
#include "widgets/synchronizer.h"

namespace tessaly::app {

class FltkMainWindow;

class FltkUi final : public UserInterface {
 public:
  FltkUi();
  ~FltkUi() override;

  // Opens the X display named by $DISPLAY for FLTK; false when it cannot
  // be opened.
  static bool OpenDisplay();

  void Run(TFormMain& form) override;
  void ProcessMessages() override;
  void RepaintPanel() override;
  void CloseWindow() override;
  widgets::Synchronizer& GuiSynchronizer() override { return sync_; }

  engine::DialogResult MessageBox(engine::DialogKind kind,
                                  std::string_view text,
                                  engine::DialogButtons buttons) override;
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

 private:
  static void OnCheck(void* self);
  static void OnTimer(void* self);
  void TimerChanged();

  widgets::QueuedSynchronizer sync_;
  std::unique_ptr<FltkMainWindow> window_;
  TFormMain* form_ = nullptr;
  int auto_answer_ms_ = -1;  // < 0: boxes wait for the user
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_FLTK_FLTK_UI_H_
