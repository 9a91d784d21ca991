#include "app/ui/fltk/fltk_ui.h"

#include <cstdlib>
#include <string>

#include <FL/Fl.H>

#include "app/collector/form_main.h"
#include "app/ui/fltk/fltk_main_window.h"
#include "app/ui/fltk/fltk_message_box.h"

// The message loop is FLTK's. The indicator's timing thread queues its steps
// in a QueuedSynchronizer and wakes the loop with Fl::awake(); a check
// callback, which FLTK runs on every pass of its loop (and so inside the
// job's Fl::check() pumps and the boxes' modal loops), runs them.

namespace tessaly::app {

FltkUi::FltkUi() : sync_([] { Fl::awake(); }) {
  // Fl::awake needs FLTK's thread support, which the first lock sets up.
  Fl::lock();
  Fl::add_check(OnCheck, this);
  if (const char* delay = std::getenv("TESSALY_TEST_AUTO_ANSWER_MS")) {
    char* end = nullptr;
    const long ms = std::strtol(delay, &end, 10);
    if (end != delay && *end == '\0' && ms >= 0) {
      auto_answer_ms_ = static_cast<int>(ms);
    }
  }
}

FltkUi::~FltkUi() {
  Fl::remove_check(OnCheck, this);
  Fl::remove_timeout(OnTimer, this);
  window_.reset();
  Fl::unlock();
}

void FltkUi::OnCheck(void* self) {
  static_cast<FltkUi*>(self)->sync_.RunPending();
}

void FltkUi::OnTimer(void* self) {
  auto* ui = static_cast<FltkUi*>(self);
  if (ui->form_ == nullptr) return;
  TTimer& timer = ui->form_->Timer;
  if (!timer.Enabled()) return;
  Fl::repeat_timeout(timer.Interval / 1000.0, OnTimer, self);
  timer.Tick();
}

void FltkUi::TimerChanged() {
  Fl::remove_timeout(OnTimer, this);
  if (form_ != nullptr && form_->Timer.Enabled()) {
    Fl::add_timeout(form_->Timer.Interval / 1000.0, OnTimer, this);
  }
}

void FltkUi::Run(TFormMain& form) {
  form_ = &form;
  window_ = std::make_unique<FltkMainWindow>(form, [&form] { form.Close(); });
  window_->ShowCentred();
  form.Timer.OnChange = [this] { TimerChanged(); };
  TimerChanged();
  while (!form.Closed()) {
    Fl::wait();
    sync_.RunPending();
  }
  form.Timer.OnChange = nullptr;
  Fl::remove_timeout(OnTimer, this);
  window_.reset();
  Fl::flush();
  form_ = nullptr;
}

void FltkUi::ProcessMessages() {
  Fl::check();
  sync_.RunPending();
}

void FltkUi::RepaintPanel() {
  if (window_ != nullptr) window_->RepaintPanel();
}

void FltkUi::CloseWindow() {
  if (window_ != nullptr) window_->hide();
}

engine::DialogResult FltkUi::MessageBox(engine::DialogKind kind,
                                        std::string_view text,
                                        engine::DialogButtons buttons) {
  return ShowFltkMessageBox(kind, text, buttons, auto_answer_ms_);
}

bool FltkUi::InputBox(std::string_view caption, std::string_view prompt,
                      std::string& value) {
  return ShowFltkInputBox(caption, prompt, value, auto_answer_ms_);
}

}  // namespace tessaly::app
