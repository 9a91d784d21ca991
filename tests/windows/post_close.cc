// post_close.exe: asks the collector's window to close, as its close button
// does (WM_CLOSE). Exits 0 when the window was found, 1 when it was not.
// The end-to-end test uses it where a person would press the button.
#include "platform/windows/win32.h"

int main() {
  HWND window = FindWindowA("TFormMain", "Tessaly Data Zipper");
  if (window == nullptr) return 1;
  return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}
