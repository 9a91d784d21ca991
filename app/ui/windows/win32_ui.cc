#include "app/ui/windows/win32_ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/collector/form_main.h"
#include "app/ui/windows/win32_main_window.h"
#include "app/ui/windows/win32_message_box.h"
#include "engine/base/console_dialog_service.h"

#include "platform/windows/win32.h"

namespace tessaly::app {

namespace {

constexpr char kWakeClass[] = "TessalyWake";
constexpr UINT kWakeMessage = WM_APP + 1;

LRESULT CALLBACK WakeProc(HWND window, UINT message, WPARAM wparam,
                          LPARAM lparam) {
  if (message == kWakeMessage) {
    auto* ui =
        reinterpret_cast<Win32Ui*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (ui != nullptr) ui->RunPendingSteps();
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND CreateWakeWindow(Win32Ui* ui) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = WakeProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = kWakeClass;
    registered = RegisterClassExA(&window_class) != 0;
  }
  HWND window = CreateWindowExA(0, kWakeClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, instance, nullptr);
  if (window != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ui));
  }
  return window;
}

}  // namespace

// The wake window is created before any worker can use the synchronizer:
// the indicator (and its thread) only come with the form.
Win32Ui::Win32Ui()
    : sync_([this] {
        // Any thread may post; the message is handled on the GUI thread.
        if (wake_window_ != nullptr) {
          PostMessageA(wake_window_, kWakeMessage, 0, 0);
        }
      }) {
  wake_window_ = CreateWakeWindow(this);
  if (const char* delay = std::getenv("TESSALY_TEST_AUTO_ANSWER_MS")) {
    char* end = nullptr;
    const long ms = std::strtol(delay, &end, 10);
    if (end != delay && *end == '\0' && ms >= 0) {
      auto_answer_ms_ = static_cast<int>(ms);
    }
  }
  if (const char* log = std::getenv("TESSALY_TEST_BOX_LOG")) box_log_ = log;
  if (const char* pump = std::getenv("TESSALY_TEST_CLOSE_AT_PUMP")) {
    char* end = nullptr;
    const long n = std::strtol(pump, &end, 10);
    if (end != pump && *end == '\0' && n > 0) close_at_pump_ = n;
  }
}

Win32Ui::~Win32Ui() {
  window_.reset();
  if (wake_window_ != nullptr) {
    SetWindowLongPtrA(wake_window_, GWLP_USERDATA, 0);
    DestroyWindow(wake_window_);
  }
}

void Win32Ui::OnTimer() {
  if (form_ == nullptr || !form_->Timer.Enabled()) return;
  form_->Timer.Tick();
}

void Win32Ui::TimerChanged() {
  if (window_ == nullptr || form_ == nullptr) return;
  window_->SetTimer(form_->Timer.Enabled(), form_->Timer.Interval);
}

void Win32Ui::Run(TFormMain& form) {
  form_ = &form;
  window_ = std::make_unique<Win32MainWindow>(
      form, [&form] { form.Close(); }, [this] { OnTimer(); });
  window_->ShowCentred();
  form.Timer.OnChange = [this] { TimerChanged(); };
  TimerChanged();
  MSG message;
  while (!form.Closed()) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;  // WM_QUIT, or no queue
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  form.Timer.OnChange = nullptr;
  window_.reset();
  form_ = nullptr;
}

void Win32Ui::ProcessMessages() {
  if (++pumps_ == close_at_pump_ && window_ != nullptr) {
    // As the close button does: the request waits in the queue.
    PostMessageA(window_->Handle(), WM_CLOSE, 0, 0);
  }
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the outer loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  sync_.RunPending();
}

void Win32Ui::RepaintPanel() {
  if (window_ != nullptr) window_->RepaintPanel();
}

void Win32Ui::CloseWindow() {
  // Hidden now, destroyed when Run returns: the close may come from inside
  // one of the window's own handlers.
  if (window_ != nullptr) window_->Hide();
}

HWND Win32Ui::BoxOwner() const {
  return window_ != nullptr && window_->Visible() ? window_->Handle() : nullptr;
}

void Win32Ui::LogBox(engine::DialogKind kind, std::string_view text) const {
  if (box_log_.empty()) return;
  std::FILE* file = std::fopen(box_log_.c_str(), "ab");
  if (file == nullptr) return;
  std::string entry(engine::ConsoleDialogService::Heading(kind));
  entry += '\n';
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    entry += text[i];
  }
  entry += "\n\n";
  std::fwrite(entry.data(), 1, entry.size(), file);
  std::fclose(file);
}

engine::DialogResult Win32Ui::MessageBox(engine::DialogKind kind,
                                         std::string_view text,
                                         engine::DialogButtons buttons) {
  LogBox(kind, text);
  return ShowWin32MessageBox(BoxOwner(), kind, text, buttons, auto_answer_ms_);
}

bool Win32Ui::InputBox(std::string_view caption, std::string_view prompt,
                       std::string& value) {
  LogBox(engine::DialogKind::kConfirmation, prompt);
  return ShowWin32InputBox(BoxOwner(), caption, prompt, value, auto_answer_ms_);
}

}  // namespace tessaly::app
