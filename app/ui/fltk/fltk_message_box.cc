#include "app/ui/fltk/fltk_message_box.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "app/ui/fltk/fltk_main_window.h"

namespace tessaly::app {

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kMaxTextWidth = 520;
constexpr Fl_Fontsize kTextSize = 12;
// Room left on the screen's work area for a window manager's title bar and
// borders, which the window's own size does not include.
constexpr int kFrameAllowance = 48;
constexpr int kScrollbarWidth = 16;

// Text drawn as given: no '@' symbols, no '&' shortcuts.
class PlainText : public Fl_Widget {
 public:
  PlainText(int x, int y, int w, int h, std::string text)
      : Fl_Widget(x, y, w, h), text_(std::move(text)) {}

  void draw() override {
    fl_font(FL_HELVETICA, kTextSize);
    fl_color(FL_BLACK);
    fl_draw(text_.c_str(), x(), y(), w(), h(),
            FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP,
            nullptr, 0);
  }

  // The size the text needs, wrapped at kMaxTextWidth.
  static void Measure(const std::string& text, int& w, int& h) {
    fl_font(FL_HELVETICA, kTextSize);
    w = 0;
    h = 0;
    fl_measure(text.c_str(), w, h, 0);
    if (w > kMaxTextWidth) {
      w = kMaxTextWidth;
      h = 0;
      fl_measure(text.c_str(), w, h, 0);
    }
  }

 private:
  std::string text_;
};

// A round sign: a red cross for errors, a blue "i" or "?" otherwise.
class SignIcon : public Fl_Widget {
 public:
  SignIcon(int x, int y, engine::DialogKind kind)
      : Fl_Widget(x, y, kIconSize, kIconSize), kind_(kind) {}

  void draw() override {
    const bool error = kind_ == engine::DialogKind::kError;
    fl_color(error ? fl_rgb_color(200, 0, 0) : fl_rgb_color(0, 0, 128));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, 20);
    const char* sign = error                                       ? "X"
                       : kind_ == engine::DialogKind::kInformation ? "i"
                                                                   : "?";
    fl_draw(sign, x(), y(), w(), h(), FL_ALIGN_CENTER, nullptr, 0);
  }

 private:
  engine::DialogKind kind_;
};

struct BoxState {
  Fl_Window* window = nullptr;
  std::vector<std::pair<Fl_Widget*, engine::DialogResult>> buttons;
  engine::DialogResult close_result = engine::mrNone;  // mrNone: ignore
  engine::DialogResult result = engine::mrNone;
};

void OnButton(Fl_Widget* widget, void* data) {
  auto* state = static_cast<BoxState*>(data);
  for (const auto& [button, result] : state->buttons) {
    if (button == widget) state->result = result;
  }
  state->window->hide();
}

void OnWindowClose(Fl_Widget* /*widget*/, void* data) {
  auto* state = static_cast<BoxState*>(data);
  if (state->close_result == engine::mrNone) return;
  state->result = state->close_result;
  state->window->hide();
}

void OnAutoAnswer(void* data) {
  auto* state = static_cast<BoxState*>(data);
  if (state->buttons.empty()) return;
  OnButton(state->buttons.front().first, data);
}

void CentreOnScreen(Fl_Window& window) {
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  window.position(sx + (sw - window.w()) / 2, sy + (sh - window.h()) / 2);
}

// Shows `window` modally until a handler hides it.
// The first button has the focus unless `focus` is given.
void RunModal(Fl_Window& window, BoxState& state, int auto_answer_ms,
              Fl_Widget* focus = nullptr) {
  window.set_modal();
  CentreOnScreen(window);
  window.show();
  SetCloseButtonOnly(window);
  if (focus == nullptr && !state.buttons.empty()) {
    focus = state.buttons.front().first;
  }
  if (focus != nullptr) focus->take_focus();
  if (auto_answer_ms >= 0) {
    Fl::add_timeout(auto_answer_ms / 1000.0, OnAutoAnswer, &state);
  }
  while (window.shown()) Fl::wait();
  Fl::remove_timeout(OnAutoAnswer, &state);
}

const char* Title(engine::DialogKind kind) {
  switch (kind) {
    case engine::DialogKind::kError:
      return "Error";
    case engine::DialogKind::kInformation:
      return "Information";
    case engine::DialogKind::kConfirmation:
      return "Confirm";
  }
  return "";
}

}  // namespace

std::string FltkLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

engine::DialogResult ShowFltkMessageBox(engine::DialogKind kind,
                                        std::string_view text,
                                        engine::DialogButtons buttons,
                                        int auto_answer_ms) {
  if (kind != engine::DialogKind::kConfirmation) buttons = engine::kButtonOk;
  if (buttons == 0) buttons = engine::kButtonOk;
  std::vector<engine::DialogButton> offered;
  for (engine::DialogButton button : engine::kAllDialogButtons) {
    if (buttons & button) offered.push_back(button);
  }

  const std::string body = FltkLineBreaks(text);
  int text_w = 0;
  int text_h = 0;
  PlainText::Measure(body, text_w, text_h);
  text_h = std::max(text_h, kIconSize);
  const int count = static_cast<int>(offered.size());
  const int row_w = count * kButtonWidth + (count - 1) * kButtonGap;
  const int text_x = kMargin + kIconSize + kMargin;

  // A text taller than the screen allows goes into a scrolling area of the
  // height that is left, so that the buttons stay on the screen.
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  const int chrome_h = kMargin + 16 + kButtonHeight + kMargin;
  const int area_h = std::min(text_h, sh - kFrameAllowance - chrome_h);
  const bool scrolls = area_h < text_h;
  const int area_w = text_w + (scrolls ? kScrollbarWidth + 4 : 0);
  const int width =
      std::max({text_x + area_w + kMargin, row_w + 2 * kMargin, 240});
  const int buttons_y = kMargin + area_h + 16;
  const int height = buttons_y + kButtonHeight + kMargin;

  BoxState state;
  Fl_Window window(width, height, Title(kind));
  state.window = &window;
  window.callback(OnWindowClose, &state);
  new SignIcon(kMargin, kMargin, kind);
  if (scrolls) {
    auto* area = new Fl_Scroll(text_x, kMargin, area_w, area_h);
    area->type(Fl_Scroll::VERTICAL_ALWAYS);
    area->scrollbar_size(kScrollbarWidth);
    area->box(FL_FLAT_BOX);
    area->color(window.color());
    new PlainText(text_x, kMargin, text_w, text_h, body);
    area->end();
  } else {
    new PlainText(text_x, kMargin, text_w, text_h, body);
  }
  int x = (width - row_w) / 2;
  for (engine::DialogButton button : offered) {
    auto* widget = new Fl_Button(x, buttons_y, kButtonWidth, kButtonHeight);
    widget->copy_label(std::string(engine::DialogButtonName(button)).c_str());
    widget->callback(OnButton, &state);
    state.buttons.emplace_back(widget, engine::DialogButtonResult(button));
    if (button == engine::kButtonCancel) state.close_result = engine::mrCancel;
    x += kButtonWidth + kButtonGap;
  }
  if (buttons == engine::kButtonOk) state.close_result = engine::mrOk;
  static_cast<Fl_Button*>(state.buttons.front().first)->shortcut(FL_Enter);
  window.end();

  RunModal(window, state, auto_answer_ms);
  return state.result;
}

bool ShowFltkInputBox(std::string_view caption, std::string_view prompt,
                      std::string& value, int auto_answer_ms) {
  const std::string prompt_text = FltkLineBreaks(prompt);
  int prompt_w = 0;
  int prompt_h = 0;
  PlainText::Measure(prompt_text, prompt_w, prompt_h);
  const int width = std::max(prompt_w + 2 * kMargin, 320);
  const int input_y = kMargin + prompt_h + 6;
  const int buttons_y = input_y + 25 + 12;
  const int height = buttons_y + kButtonHeight + kMargin;

  BoxState state;
  const std::string title(caption);
  Fl_Window window(width, height, title.c_str());
  state.window = &window;
  window.callback(OnWindowClose, &state);
  state.close_result = engine::mrCancel;
  new PlainText(kMargin, kMargin, prompt_w, prompt_h, prompt_text);
  auto* input = new Fl_Input(kMargin, input_y, width - 2 * kMargin, 25);
  input->value(value.c_str());
  const int row_w = 2 * kButtonWidth + kButtonGap;
  int x = (width - row_w) / 2;
  for (engine::DialogButton button :
       {engine::kButtonOk, engine::kButtonCancel}) {
    auto* widget = new Fl_Button(x, buttons_y, kButtonWidth, kButtonHeight);
    widget->copy_label(std::string(engine::DialogButtonName(button)).c_str());
    widget->callback(OnButton, &state);
    state.buttons.emplace_back(widget, engine::DialogButtonResult(button));
    x += kButtonWidth + kButtonGap;
  }
  static_cast<Fl_Button*>(state.buttons.front().first)->shortcut(FL_Enter);
  window.end();

  RunModal(window, state, auto_answer_ms, input);
  if (state.result != engine::mrOk) return false;
  value = input->value();
  return true;
}

}  // namespace tessaly::app
