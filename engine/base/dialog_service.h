// The modal boxes that the engine (and the collector) show. The engine never
// talks to a window system: every default dialog of the archiver goes
// through a DialogService, which the program supplies (desktop window,
// console, or a scripted double in tests).
#ifndef TESSALY_ENGINE_BASE_DIALOG_SERVICE_H_
#define TESSALY_ENGINE_BASE_DIALOG_SERVICE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly::engine {

// Kind of box: decides the heading (console) or icon (window).
enum class DialogKind : uint8_t {
  kError = 1,         // "Error:"; OK button
  kInformation = 2,   // "Information:"; OK button
  kConfirmation = 3,  // "Confirmation:"; the buttons given
};

// Buttons, as a set of bits.
enum DialogButton : uint32_t {
  kButtonOk = 1u << 0,
  kButtonCancel = 1u << 1,
  kButtonYes = 1u << 2,
  kButtonNo = 1u << 3,
  kButtonYesToAll = 1u << 4,
  kButtonNoToAll = 1u << 5,
  kButtonAbort = 1u << 6,
  kButtonRetry = 1u << 7,
  kButtonIgnore = 1u << 8,
};
using DialogButtons = uint32_t;

// Every button, in the order in which a box lists them.
inline constexpr DialogButton kAllDialogButtons[] = {
    kButtonOk,      kButtonCancel, kButtonYes,   kButtonNo,    kButtonYesToAll,
    kButtonNoToAll, kButtonAbort,  kButtonRetry, kButtonIgnore};

// Results: the modal results of the class library (Yes is 6).
enum DialogResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
};

// The button's display name ("OK", "Cancel", "Yes", "No", "Yes to All",
// "No to All", "Abort", "Retry", "Ignore") and its result.
std::string_view DialogButtonName(DialogButton button);
DialogResult DialogButtonResult(DialogButton button);

// The answer that stops work without writing more, used when nobody can
// answer (end of input): Cancel, else Abort, else No when "No to All" is
// offered (an overwrite question), else Yes for a plain Yes/No question
// (the collector's "Abandon collection of files?"), else OK, else the first
// button offered.
DialogResult UnattendedAnswer(DialogButtons buttons);

class DialogService {
 public:
  DialogService() = default;
  DialogService(const DialogService&) = delete;
  DialogService& operator=(const DialogService&) = delete;
  virtual ~DialogService() = default;

  // Shows a modal box with `text` and the given buttons and returns the
  // pressed button's result. Error and information boxes carry OK only.
  virtual DialogResult MessageBox(DialogKind kind, std::string_view text,
                                  DialogButtons buttons) = 0;

  // A one-line input box titled `caption` with `prompt`, editing `value`.
  // Returns true when confirmed (value holds the text), false when
  // cancelled (value unchanged).
  virtual bool InputBox(std::string_view caption, std::string_view prompt,
                        std::string& value) = 0;
};

// The service that archivers use when none is set on them; initially a
// process-wide console service. The program installs its own at start.
// Passing nullptr restores the console service. The pointer is read and
// written atomically; the service itself is used from one thread.
// REQUIRES: `service` outlives every use (it is not owned).
DialogService& DefaultDialogService();
void SetDefaultDialogService(DialogService* service);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_DIALOG_SERVICE_H_
