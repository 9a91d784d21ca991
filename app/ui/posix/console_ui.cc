#include "app/ui/posix/console_ui.h"

#include <algorithm>
#include <chrono>
#include <string>

#include <signal.h>

#include "app/collector/form_main.h"
#include "widgets/rgb_bitmap.h"

namespace tessaly::app {

namespace {

// Set by the SIGINT handler; a lock-free atomic is safe to write there.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

struct sigaction g_previous_action;

}  // namespace

ConsoleUi::ConsoleUi(std::istream& in, std::ostream& out, std::ostream& err,
                     bool draw_band)
    : in_(in), out_(out), err_(err), draw_band_(draw_band), dialogs_(in, out) {}

ConsoleUi::~ConsoleUi() {
  if (handles_interrupt_) sigaction(SIGINT, &g_previous_action, nullptr);
}

void ConsoleUi::EnableInterruptHandling() {
  if (handles_interrupt_) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocked read of an answer returns, and the prompt
  // takes it as the end of input.
  action.sa_flags = 0;
  g_interrupted.store(false);
  if (sigaction(SIGINT, &action, &g_previous_action) == 0) {
    handles_interrupt_ = true;
  }
}

bool ConsoleUi::TakeCloseRequest() {
  bool requested = close_requested_.exchange(false);
  if (handles_interrupt_ && g_interrupted.exchange(false)) requested = true;
  return requested;
}

std::string ConsoleUi::BandText(const widgets::TWaitingGradient& gradient,
                                int columns) {
  if (columns <= 0) return "";
  const int width = gradient.Width();
  std::string text(static_cast<size_t>(columns), ' ');
  if (width <= 0) return text;
  // The band is made of vertical stripes, so one row tells everything.
  widgets::RgbBitmap row(width, 1);
  gradient.Paint(row);
  const widgets::Rgb background = widgets::ToRgb(gradient.Color());
  static constexpr std::string_view kRamp = ".:-=+*#%@";  // light to dark
  for (int c = 0; c < columns; ++c) {
    const int from = c * width / columns;
    const int to = std::max(from + 1, (c + 1) * width / columns);
    int band_pixels = 0;
    int luminance_sum = 0;
    for (int x = from; x < to && x < width; ++x) {
      const widgets::Rgb p = row.Pixel(x, 0);
      if (p == background) continue;
      ++band_pixels;
      luminance_sum += (299 * p.r + 587 * p.g + 114 * p.b) / 1000;
    }
    if (band_pixels == 0) continue;
    const int luminance = luminance_sum / band_pixels;
    const size_t index = static_cast<size_t>(
        (255 - luminance) * static_cast<int>(kRamp.size()) / 256);
    text[static_cast<size_t>(c)] = kRamp[index];
  }
  return text;
}

void ConsoleUi::Run(TFormMain& form) {
  form_ = &form;
  form.WaitingGradient.OnInvalidate = [this] { band_dirty_ = true; };
  while (!form.Closed()) {
    if (form.Timer.Enabled()) {
      Wait(static_cast<int>(form.Timer.Interval));
      if (TakeCloseRequest()) {
        form.Close();
        continue;
      }
      form.Timer.Tick();
      continue;
    }
    // The window stays open with nothing to do: wait for the user to close
    // it.
    if (TakeCloseRequest()) {
      form.Close();
      continue;
    }
    std::string line;
    if (!std::getline(in_, line)) {
      form.Close();
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "close") form.Close();
  }
  form.WaitingGradient.OnInvalidate = nullptr;
  ClearBand();
  form_ = nullptr;
}

void ConsoleUi::Wait(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end || close_requested_.load() || g_interrupted.load()) break;
    sync_.WaitForPending(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
    sync_.RunPending();
  }
}

void ConsoleUi::ProcessMessages() {
  sync_.RunPending();
  if (band_dirty_) DrawBand();
  if (form_ != nullptr && TakeCloseRequest()) form_->Close();
}

void ConsoleUi::RepaintPanel() {
  band_dirty_ = true;
  DrawBand();
}

void ConsoleUi::CloseWindow() {
  window_closed_ = true;
  ClearBand();
}

void ConsoleUi::DrawBand() {
  band_dirty_ = false;
  if (!draw_band_ || window_closed_ || form_ == nullptr ||
      !form_->WaitingGradient.Visible()) {
    return;
  }
  err_ << "\r[" << BandText(form_->WaitingGradient, kBandColumns) << "]"
       << std::flush;
  band_shown_ = true;
}

void ConsoleUi::ClearBand() {
  if (!band_shown_) return;
  err_ << "\r" << std::string(kBandColumns + 2, ' ') << "\r" << std::flush;
  band_shown_ = false;
}

engine::DialogResult ConsoleUi::MessageBox(engine::DialogKind kind,
                                           std::string_view text,
                                           engine::DialogButtons buttons) {
  ClearBand();
  const engine::DialogResult result = dialogs_.MessageBox(kind, text, buttons);
  band_dirty_ = true;
  return result;
}

bool ConsoleUi::InputBox(std::string_view caption, std::string_view prompt,
                         std::string& value) {
  ClearBand();
  const bool confirmed = dialogs_.InputBox(caption, prompt, value);
  band_dirty_ = true;
  return confirmed;
}

}  // namespace tessaly::app
