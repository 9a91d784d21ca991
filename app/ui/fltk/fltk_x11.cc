// The few things the FLTK interface asks of X11 directly. Kept apart so
// that Xlib's macros (None, Bool, Status, ...) stay out of other files.
#include <FL/Fl_Window.H>

#include "app/ui/fltk/fltk_main_window.h"
#include "app/ui/fltk/fltk_ui.h"

#if !defined(_WIN32) && !defined(__APPLE__)
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace tessaly::app {

bool FltkUi::OpenDisplay() {
#if !defined(_WIN32) && !defined(__APPLE__)
  if (fl_display != nullptr) return true;
  // The connection is handed to FLTK rather than closed and opened again:
  // a server may refuse a connection made right after one was closed.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  fl_open_display(display);
#endif
  return true;
}

void SetCloseButtonOnly(Fl_Window& window) {
#if !defined(_WIN32) && !defined(__APPLE__)
  if (fl_display == nullptr || !window.shown()) return;
  // _MOTIF_WM_HINTS, which window managers read for the functions and
  // decorations a window wants: flags, functions, decorations, input mode,
  // status.
  constexpr long kHintsFunctions = 1L << 0;
  constexpr long kHintsDecorations = 1L << 1;
  constexpr long kFunctionMove = 1L << 2;
  constexpr long kFunctionClose = 1L << 5;
  constexpr long kDecorBorder = 1L << 1;
  constexpr long kDecorTitle = 1L << 3;
  constexpr long kDecorMenu = 1L << 4;
  long hints[5] = {kHintsFunctions | kHintsDecorations,
                   kFunctionMove | kFunctionClose,
                   kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
  const Atom property = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(&window), property, property, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
  XFlush(fl_display);
#else
  (void)window;
#endif
}

}  // namespace tessaly::app
