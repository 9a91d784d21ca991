// The collector's window on Windows, built from TFormMain's components: a
// fixed 300 x 112 window (outer size) with a close button only, centred on
// the desktop, showing the bold label, the sunken panel and the busy
// indicator. Colours are the class library's standard scheme
// (widgets::ToRgb), the same values the indicator's band is computed with,
// so that the band's background matches the panel.
//
// Thread rules: GUI thread only (the thread that created the object).
#ifndef TESSALY_APP_UI_WINDOWS_WIN32_MAIN_WINDOW_H_
#define TESSALY_APP_UI_WINDOWS_WIN32_MAIN_WINDOW_H_

#include <cstdint>
#include <functional>

#include "app/collector/form_main.h"
#include "widgets/rgb_bitmap.h"

struct HWND__;
struct HFONT__;

namespace tessaly::app {

class Win32MainWindow {
 public:
  // Creates the window, hidden. `on_close` runs when the user asks to
  // close it (close button, Alt+F4); `on_timer` on every tick of the timer
  // set with SetTimer. `form` must outlive the window.
  Win32MainWindow(TFormMain& form, std::function<void()> on_close,
                  std::function<void()> on_timer);
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;
  // Destroys the window.
  ~Win32MainWindow();

  HWND__* Handle() const { return window_; }

  // Shows the window centred on the desktop.
  void ShowCentred();
  // Takes the window off the screen (it is destroyed with the object).
  void Hide();
  bool Visible() const;

  // Repaints the panel now.
  void RepaintPanel();

  // Starts (or restarts) a timer that fires every `interval` milliseconds,
  // or stops it.
  void SetTimer(bool enabled, uint32_t interval);

  // Draws the client area onto the device context `dc` (an HDC).
  void Paint(void* dc);

  // Window procedure work; public for the procedure in the .cc file.
  intptr_t HandleMessage(HWND__* window, unsigned message, uintptr_t wparam,
                         intptr_t lparam);

 private:
  // The indicator's rectangle in client coordinates.
  void IndicatorRect(int& left, int& top, int& right, int& bottom) const;

  TFormMain& form_;
  std::function<void()> on_close_;
  std::function<void()> on_timer_;
  HWND__* window_ = nullptr;
  HFONT__* label_font_ = nullptr;
  widgets::RgbBitmap canvas_;  // the indicator, painted by itself
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_WINDOWS_WIN32_MAIN_WINDOW_H_
