// What the main window's logic (TFormMain) needs from a user interface:
// modal boxes (the engine's DialogService), a message pump, the window
// itself with its busy indicator, and where the registry values come from.
//
// Three implementations: the FLTK desktop window (app/ui/fltk/fltk_ui.h), the
// console (app/ui/posix/console_ui.h) and a scripted one for tests
// (app/ui/scripted_ui.h).
//
// Thread rules: everything is called on the GUI thread, except that the
// indicator's timing thread uses GuiSynchronizer().
#ifndef TESSALY_APP_COLLECTOR_USER_INTERFACE_H_
#define TESSALY_APP_COLLECTOR_USER_INTERFACE_H_

#include <string>

#include "app/registry/registry.h"
#include "engine/base/dialog_service.h"
#include "widgets/synchronizer.h"

namespace tessaly::app {

class TFormMain;

class UserInterface : public engine::DialogService {
 public:
  // Shows the window built from `form`'s components and runs its message
  // loop: fires form.Timer while it is enabled, turns the user's close
  // requests into form.Close(), and returns once the form has closed.
  // REQUIRES: `form` was created with this interface.
  virtual void Run(TFormMain& form) = 0;

  // Handles every pending window message: repaints, the indicator's steps,
  // the user's close requests (which call form.Close() from here, so the
  // caller must expect the form to have closed on return).
  virtual void ProcessMessages() = 0;

  // Repaints the indicator's panel now rather than at the next pump.
  virtual void RepaintPanel() = 0;

  // The form accepted a close: take the window off the screen. Run returns
  // once the current message has been handled.
  virtual void CloseWindow() = 0;

  // The synchronizer through which the indicator's timing thread has its
  // steps run on the GUI thread; the interface runs pending steps whenever
  // it processes messages. Lives as long as the interface.
  virtual widgets::Synchronizer& GuiSynchronizer() = 0;

  // The registry export file the window reads its settings from.
  virtual std::string RegistryFileName() { return DefaultRegistryFileName(); }
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_COLLECTOR_USER_INTERFACE_H_
