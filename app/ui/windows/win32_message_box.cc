#include "app/ui/windows/win32_message_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/windows/win32.h"

// A box that MessageBoxA can show is shown by it, so it looks and sounds as
// every other program's box does. The other button sets get a dialog built
// from an in-memory template (always UTF-16, even for the A functions)
// whose controls are laid out in pixels once the dialog font is known. So
// does a text too tall for the screen's work area, which MessageBoxA would
// let run off the screen with its buttons: there the text is a read-only,
// scrolling edit control of the height the work area leaves.
//
// Test answers: MessageBoxA runs its own modal loop, which dispatches
// thread timers; a thread timer finds the box among the thread's windows
// and posts it the click of its first button, as a person's click arrives.
// Our own dialogs set a timer on themselves.

namespace tessaly::app {

namespace {

using engine::DialogButton;
using engine::DialogButtons;
using engine::DialogKind;
using engine::DialogResult;

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kEditHeight = 21;
constexpr int kMaxTextWidth = 520;
constexpr int kMinWidth = 240;
// The inner margin of the scrolling text on each side, in pixels.
constexpr int kEditMargin = 4;

// Control IDs of our dialogs; a button's ID is its DialogResult (1..10).
constexpr WORD kTextId = 100;
constexpr WORD kIconId = 101;
constexpr WORD kEditId = 102;
constexpr UINT_PTR kAutoAnswerTimer = 1;

// Standard window-class atoms of dialog template items.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

const char* Title(DialogKind kind) {
  switch (kind) {
    case DialogKind::kError:
      return "Error";
    case DialogKind::kInformation:
      return "Information";
    case DialogKind::kConfirmation:
      return "Confirm";
  }
  return "";
}

UINT IconStyle(DialogKind kind) {
  switch (kind) {
    case DialogKind::kError:
      return MB_ICONERROR;
    case DialogKind::kInformation:
      return MB_ICONINFORMATION;
    case DialogKind::kConfirmation:
      return MB_ICONQUESTION;
  }
  return 0;
}

// The system icon of a kind: IDI_HAND, IDI_ASTERISK, IDI_QUESTION.
HICON KindIcon(DialogKind kind) {
  WORD id = 32514;  // IDI_QUESTION
  if (kind == DialogKind::kError) id = 32513;
  if (kind == DialogKind::kInformation) id = 32516;
  return LoadIconA(nullptr, MAKEINTRESOURCEA(id));
}

// ---- Test answers for MessageBoxA ------------------------------------------

struct AutoAnswer {
  int button_id = 0;
  UINT_PTR timer = 0;
};

AutoAnswer* g_auto_answer = nullptr;  // the box now shown; GUI thread only

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) != "#32770" || !IsWindowVisible(window) ||
      !IsWindowEnabled(window)) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK OnAutoAnswer(HWND /*window*/, UINT /*message*/, UINT_PTR timer,
                           DWORD /*time*/) {
  AutoAnswer* answer = g_auto_answer;
  if (answer == nullptr || answer->timer != timer) return;
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox,
                    reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;  // not on the screen yet: the next tick
  KillTimer(nullptr, answer->timer);
  answer->timer = 0;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer->button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, answer->button_id)));
}

// ---- Our own dialogs -------------------------------------------------------

// Writes a DLGTEMPLATE and its items: 16-bit words, items on 32-bit
// boundaries.
class TemplateWriter {
 public:
  void Header(DWORD style, WORD items) {
    Dword(style);
    Dword(0);  // extended style
    Word(items);
    for (int i = 0; i < 4; ++i) Word(0);  // x, y, cx, cy: set at layout
    Word(0);                              // no menu
    Word(0);                              // the standard dialog class
    Word(0);                              // title: set at initialisation
    Word(8);                              // DS_SETFONT: 8 points
    for (const char* c = "MS Shell Dlg"; *c != '\0'; ++c) Word(*c);
    Word(0);
  }

  void Item(WORD id, WORD window_class, DWORD style, DWORD ex_style = 0) {
    if (words_.size() % 2 != 0) Word(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(ex_style);
    for (int i = 0; i < 4; ++i) Word(0);  // placed at layout
    Word(id);
    Word(0xFFFF);
    Word(window_class);
    Word(0);  // text: set at initialisation
    Word(0);  // no creation data
  }

  const DLGTEMPLATE* Data() const {
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
  }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }

  std::vector<WORD> words_;
};

// `text` with every line break as CR LF, as a multi-line edit control
// needs them (the text itself is not changed otherwise).
std::string EditLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Whether a box showing `text` would be taller than the screen's work area.
// Measured with the larger of the message-box and dialog fonts, at the
// narrowest width either box wraps at, so the answer errs towards a box of
// our own.
bool TooTallForScreen(const std::string& text) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  HDC dc = GetDC(nullptr);
  int text_h = 0;
  HFONT fonts[2] = {CreateFontIndirectA(&metrics.lfMessageFont),
                    static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))};
  for (HFONT font : fonts) {
    HGDIOBJ old_font = SelectObject(dc, font);
    RECT rect{0, 0, kMaxTextWidth, 0};
    DrawTextA(dc, text.c_str(), -1, &rect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    text_h = std::max(text_h, static_cast<int>(rect.bottom - rect.top));
    SelectObject(dc, old_font);
  }
  DeleteObject(fonts[0]);
  ReleaseDC(nullptr, dc);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int chrome = GetSystemMetrics(SM_CYCAPTION) +
                     2 * GetSystemMetrics(SM_CYFIXEDFRAME) + 2 * kMargin +
                     16 + kButtonHeight + kMargin;
  return text_h + chrome > static_cast<int>(work.bottom - work.top);
}

struct DialogState {
  std::string title;
  std::string text;
  bool scrolls = false;  // the text is a scrolling edit control
  bool has_icon = false;
  DialogKind kind = DialogKind::kConfirmation;
  std::vector<DialogButton> buttons;
  int close_result = 0;          // 0: closing does nothing
  std::string* value = nullptr;  // an input box's field
  int auto_answer_ms = -1;
};

void MoveControl(HWND dialog, int id, int x, int y, int w, int h) {
  MoveWindow(GetDlgItem(dialog, id), x, y, w, h, FALSE);
}

void Layout(HWND dialog, const DialogState& state) {
  HDC dc = GetDC(dialog);
  auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = SelectObject(dc, font);
  RECT text_rect{0, 0, kMaxTextWidth, 0};
  DrawTextA(dc, state.text.c_str(), -1, &text_rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old_font);
  ReleaseDC(dialog, dc);
  int text_w = static_cast<int>(text_rect.right - text_rect.left);
  int text_h = static_cast<int>(text_rect.bottom - text_rect.top);

  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame_only{0, 0, 0, 0};
  AdjustWindowRectEx(
      &frame_only, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)),
      FALSE, static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
  if (state.scrolls) {
    // What the work area leaves beside the frame, margins and buttons.
    const int room = static_cast<int>(work.bottom - work.top) -
                     static_cast<int>(frame_only.bottom - frame_only.top) -
                     (kMargin + 16 + kButtonHeight + kMargin);
    // The edit control adds its sunken border, its margins and the
    // scroll bar around the text.
    const int chrome_w = 2 * GetSystemMetrics(SM_CXEDGE) + 2 * kEditMargin +
                         GetSystemMetrics(SM_CXVSCROLL) + 2;
    const int chrome_h = 2 * GetSystemMetrics(SM_CYEDGE) + 2;
    text_h = std::min(text_h + chrome_h, std::max(room, kIconSize));
    text_w += chrome_w;
  }

  const int count = static_cast<int>(state.buttons.size());
  const int row_w = count * kButtonWidth + (count - 1) * kButtonGap;
  const int text_x = state.has_icon ? kMargin + kIconSize + kMargin : kMargin;
  int width =
      std::max({text_x + text_w + kMargin, row_w + 2 * kMargin, kMinWidth});
  int y = kMargin;
  if (state.has_icon) {
    text_h = std::max(text_h, kIconSize);
    MoveControl(dialog, kIconId, kMargin, kMargin, kIconSize, kIconSize);
  }
  MoveControl(dialog, kTextId, text_x, y, text_w, text_h);
  y += text_h;
  if (state.value != nullptr) {
    width = std::max(width, 320);
    y += 6;
    MoveControl(dialog, kEditId, kMargin, y, width - 2 * kMargin, kEditHeight);
    y += kEditHeight + 12;
  } else {
    y += 16;
  }
  int x = (width - row_w) / 2;
  for (DialogButton button : state.buttons) {
    MoveControl(dialog, engine::DialogButtonResult(button), x, y, kButtonWidth,
                kButtonHeight);
    x += kButtonWidth + kButtonGap;
  }
  const int height = y + kButtonHeight + kMargin;

  const int frame_w =
      width + static_cast<int>(frame_only.right - frame_only.left);
  const int frame_h =
      height + static_cast<int>(frame_only.bottom - frame_only.top);
  SetWindowPos(dialog, nullptr,
               static_cast<int>(work.left) +
                   (static_cast<int>(work.right - work.left) - frame_w) / 2,
               static_cast<int>(work.top) +
                   (static_cast<int>(work.bottom - work.top) - frame_h) / 2,
               frame_w, frame_h, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Offers(const DialogState& state, int id) {
  for (DialogButton button : state.buttons) {
    if (engine::DialogButtonResult(button) == id) return true;
  }
  return false;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  auto* state =
      reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<DialogState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      SetWindowTextA(dialog, state->title.c_str());
      SetDlgItemTextA(dialog, kTextId,
                      state->scrolls ? EditLineBreaks(state->text).c_str()
                                     : state->text.c_str());
      for (DialogButton button : state->buttons) {
        SetDlgItemTextA(dialog, engine::DialogButtonResult(button),
                        std::string(engine::DialogButtonName(button)).c_str());
      }
      if (state->has_icon) {
        SendDlgItemMessageA(dialog, kIconId, STM_SETICON,
                            reinterpret_cast<WPARAM>(KindIcon(state->kind)), 0);
      }
      if (state->close_result == 0) {
        EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | MF_GRAYED);
      }
      if (state->scrolls) {
        SendDlgItemMessageA(dialog, kTextId, EM_SETMARGINS,
                            EC_LEFTMARGIN | EC_RIGHTMARGIN,
                            MAKELPARAM(kEditMargin, kEditMargin));
      }
      Layout(dialog, *state);
      if (state->scrolls) {
        // The text is read from its first line.
        SendDlgItemMessageA(dialog, kTextId, EM_SETSEL, 0, 0);
        SendDlgItemMessageA(dialog, kTextId, EM_SCROLLCARET, 0, 0);
      }
      // A box without an owner would otherwise open behind the window
      // that had the focus.
      SetForegroundWindow(dialog);
      if (state->value != nullptr) {
        SetDlgItemTextA(dialog, kEditId, state->value->c_str());
        SendDlgItemMessageA(dialog, kEditId, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, kEditId));
      } else {
        SetFocus(GetDlgItem(
            dialog, engine::DialogButtonResult(state->buttons.front())));
      }
      if (state->auto_answer_ms >= 0) {
        SetTimer(dialog, kAutoAnswerTimer,
                 static_cast<UINT>(state->auto_answer_ms), nullptr);
      }
      return FALSE;  // the focus is set
    }
    case WM_TIMER:
      if (wparam == kAutoAnswerTimer && state != nullptr) {
        KillTimer(dialog, kAutoAnswerTimer);
        const int id = engine::DialogButtonResult(state->buttons.front());
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND: {
      if (state == nullptr) return FALSE;
      int id = LOWORD(wparam);
      // IDCANCEL comes from Esc and the close button as well as from a
      // Cancel button (whose result has the same number).
      if (id == IDCANCEL && !Offers(*state, id)) id = state->close_result;
      if (id == 0 || !Offers(*state, id)) return TRUE;
      if (id == engine::mrOk && state->value != nullptr) {
        HWND edit = GetDlgItem(dialog, kEditId);
        std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1,
                         '\0');
        text.resize(static_cast<size_t>(
            GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
        *state->value = text;
      }
      EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

DialogResult RunDialog(HWND owner, DialogState& state) {
  const bool input = state.value != nullptr;
  const WORD items = static_cast<WORD>(1 + (state.has_icon ? 1 : 0) +
                                       (input ? 1 : 0) + state.buttons.size());
  TemplateWriter writer;
  writer.Header(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                items);
  if (state.has_icon) writer.Item(kIconId, kStaticClass, SS_ICON);
  if (!state.scrolls) writer.Item(kTextId, kStaticClass, SS_LEFT | SS_NOPREFIX);
  if (input) {
    writer.Item(kEditId, kEditClass, WS_TABSTOP | ES_AUTOHSCROLL,
                WS_EX_CLIENTEDGE);
  }
  bool first = true;
  for (DialogButton button : state.buttons) {
    writer.Item(
        static_cast<WORD>(engine::DialogButtonResult(button)), kButtonClass,
        WS_TABSTOP | (first ? BS_DEFPUSHBUTTON | WS_GROUP : BS_PUSHBUTTON));
    first = false;
  }
  if (state.scrolls) {
    // After the buttons in the tab order: the dialog's first control takes
    // the focus when it opens, and an edit control given the focus selects
    // its whole text, which scrolls it to the end.
    writer.Item(kTextId, kEditClass,
                ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE);
  }
  const INT_PTR result =
      DialogBoxIndirectParamA(GetModuleHandleA(nullptr), writer.Data(), owner,
                              DialogProc, reinterpret_cast<LPARAM>(&state));
  return result <= 0 ? engine::mrNone : static_cast<DialogResult>(result);
}

}  // namespace

int32_t MessageBoxStyleFor(DialogButtons buttons) {
  using engine::kButtonAbort;
  using engine::kButtonCancel;
  using engine::kButtonIgnore;
  using engine::kButtonNo;
  using engine::kButtonOk;
  using engine::kButtonRetry;
  using engine::kButtonYes;
  switch (buttons) {
    case kButtonOk:
      return MB_OK;
    case kButtonOk | kButtonCancel:
      return MB_OKCANCEL;
    case kButtonYes | kButtonNo:
      return MB_YESNO;
    case kButtonYes | kButtonNo | kButtonCancel:
      return MB_YESNOCANCEL;
    case kButtonAbort | kButtonRetry | kButtonIgnore:
      return MB_ABORTRETRYIGNORE;
    case kButtonRetry | kButtonCancel:
      return MB_RETRYCANCEL;
    default:
      return -1;
  }
}

DialogButton FirstButton(DialogButtons buttons) {
  for (DialogButton button : engine::kAllDialogButtons) {
    if (buttons & button) return button;
  }
  return engine::kButtonOk;
}

DialogResult ShowWin32MessageBox(HWND owner, DialogKind kind,
                                 std::string_view text, DialogButtons buttons,
                                 int auto_answer_ms) {
  if (kind != DialogKind::kConfirmation || buttons == 0) {
    buttons = engine::kButtonOk;
  }
  const std::string body(text);
  const int32_t style = MessageBoxStyleFor(buttons);
  const bool too_tall = TooTallForScreen(body);
  if (style >= 0 && !too_tall) {
    // MessageBoxA's button IDs (IDOK 1 ... IDNO 7) are the modal results.
    AutoAnswer answer;
    AutoAnswer* outer = g_auto_answer;
    if (auto_answer_ms >= 0) {
      answer.button_id = engine::DialogButtonResult(FirstButton(buttons));
      answer.timer =
          SetTimer(nullptr, 0, static_cast<UINT>(auto_answer_ms), OnAutoAnswer);
      g_auto_answer = &answer;
    }
    const int result = MessageBoxA(owner, body.c_str(), Title(kind),
                                   static_cast<UINT>(style) | IconStyle(kind));
    if (answer.timer != 0) KillTimer(nullptr, answer.timer);
    g_auto_answer = outer;
    return static_cast<DialogResult>(result);
  }

  DialogState state;
  state.title = Title(kind);
  state.text = body;
  state.scrolls = too_tall;
  state.has_icon = true;
  state.kind = kind;
  for (DialogButton button : engine::kAllDialogButtons) {
    if (buttons & button) state.buttons.push_back(button);
  }
  if (buttons & engine::kButtonCancel) state.close_result = engine::mrCancel;
  state.auto_answer_ms = auto_answer_ms;
  return RunDialog(owner, state);
}

bool ShowWin32InputBox(HWND owner, std::string_view caption,
                       std::string_view prompt, std::string& value,
                       int auto_answer_ms) {
  DialogState state;
  state.title = std::string(caption);
  state.text = std::string(prompt);
  state.buttons = {engine::kButtonOk, engine::kButtonCancel};
  state.close_result = engine::mrCancel;
  std::string edited = value;
  state.value = &edited;
  state.auto_answer_ms = auto_answer_ms;
  if (RunDialog(owner, state) != engine::mrOk) return false;
  value = edited;
  return true;
}

}  // namespace tessaly::app
