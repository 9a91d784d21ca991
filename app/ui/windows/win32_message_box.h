// Modal boxes for the Windows interface. A message box whose buttons
// Windows' own MessageBoxA offers (OK; OK, Cancel; Yes, No; Yes, No,
// Cancel; Abort, Retry, Ignore; Retry, Cancel) is one; any other set of
// buttons (Yes, No, Yes to All, No to All; Abort, Ignore) and the input box
// are dialogs of our own with the named buttons. So is a box whose text is
// too tall for the screen's work area: its text scrolls, in a box that fits
// the work area, and the buttons stay on the screen.
//
// For automated tests only: with `auto_answer_ms` >= 0 the box presses its
// first button (in kAllDialogButtons order: OK, Cancel, Yes, ...) by
// itself after that many milliseconds.
//
// Thread rules: the GUI thread; each call runs a modal message loop, which
// dispatches the thread's other window messages meanwhile.
#ifndef TESSALY_APP_UI_WINDOWS_WIN32_MESSAGE_BOX_H_
#define TESSALY_APP_UI_WINDOWS_WIN32_MESSAGE_BOX_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/base/dialog_service.h"

struct HWND__;

namespace tessaly::app {

// The MessageBoxA style (MB_OK, MB_YESNO, ...) that offers exactly
// `buttons`, or -1 when MessageBoxA has no such set.
int32_t MessageBoxStyleFor(engine::DialogButtons buttons);

// The button a box presses when nobody answers it in a test: the first
// offered in kAllDialogButtons order; OK when none is.
engine::DialogButton FirstButton(engine::DialogButtons buttons);

// Shows `text` (CR LF line breaks) in a modal box owned by `owner` (may be
// null), titled "Error", "Information" or "Confirm", with the icon of its
// kind, and returns the pressed button's result. Error and information
// boxes offer OK whatever `buttons` says. Closing the box (its close
// button, Esc) answers Cancel when Cancel is offered, OK in an OK-only box,
// and does nothing otherwise.
engine::DialogResult ShowWin32MessageBox(HWND__* owner, engine::DialogKind kind,
                                         std::string_view text,
                                         engine::DialogButtons buttons,
                                         int auto_answer_ms);

// A modal input box titled `caption` with `prompt` and a one-line field
// holding `value`; true with `value` replaced when confirmed with OK.
bool ShowWin32InputBox(HWND__* owner, std::string_view caption,
                       std::string_view prompt, std::string& value,
                       int auto_answer_ms);

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_WINDOWS_WIN32_MESSAGE_BOX_H_
