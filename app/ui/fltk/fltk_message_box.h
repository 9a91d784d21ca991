// Modal boxes for the FLTK interface: a message with an icon and a row of
// named buttons, and a one-line input box.
#ifndef TESSALY_APP_UI_FLTK_FLTK_MESSAGE_BOX_H_
#define TESSALY_APP_UI_FLTK_FLTK_MESSAGE_BOX_H_

#include <string>
#include <string_view>

#include "engine/base/dialog_service.h"

namespace tessaly::app {

// Shows `text` (CR LF line breaks allowed) in a modal window titled
// "Error", "Information" or "Confirm" with the offered buttons, in
// kAllDialogButtons order, and returns the pressed button's result. Error
// and information boxes offer OK whatever `buttons` says. The window's
// close button answers Cancel, or OK in an OK-only box; elsewhere it does
// nothing. With `auto_answer_ms` >= 0 the first button answers by itself
// after that many milliseconds. A text taller than the screen's work area
// allows is shown in a scrolling area, so the buttons stay on the screen.
engine::DialogResult ShowFltkMessageBox(engine::DialogKind kind,
                                        std::string_view text,
                                        engine::DialogButtons buttons,
                                        int auto_answer_ms);

// A modal input box; true with `value` replaced when confirmed with OK.
bool ShowFltkInputBox(std::string_view caption, std::string_view prompt,
                      std::string& value, int auto_answer_ms);

// `text` with CR LF and lone CR turned into LF, for FLTK's drawing.
std::string FltkLineBreaks(std::string_view text);

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_FLTK_FLTK_MESSAGE_BOX_H_
