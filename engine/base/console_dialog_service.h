// A DialogService for a terminal or a script: boxes are printed as text
// blocks and answered by lines read from an input stream.
#ifndef TESSALY_ENGINE_BASE_CONSOLE_DIALOG_SERVICE_H_
#define TESSALY_ENGINE_BASE_CONSOLE_DIALOG_SERVICE_H_

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/base/dialog_service.h"

namespace tessaly::engine {

// Each message box is written to `out` as one block:
//
//   Confirmation:                 (or "Error:", "Information:")
//   Overwrite file "a" with "b"   (the text, as given)
//   [Yes/No/Yes to All/No to All] (confirmations only: the buttons offered)
//
// A confirmation then reads one line from `in`: the name of an offered
// button, compared without regard to letter case and surrounding blanks
// (a trailing CR is ignored). Any other line prints the button line again
// and reads another. At end of input the box takes UnattendedAnswer of its
// buttons, so an unattended run always ends. Error and information boxes
// read nothing and return mrOk.
//
// An input box writes the caption on a line of its own and then the prompt
// (no line break) and reads one line, which replaces `value` and confirms;
// at end of input the box is cancelled and `value` is left unchanged.
//
// Both streams are borrowed and must outlive the service. Not thread-safe.
class ConsoleDialogService final : public DialogService {
 public:
  ConsoleDialogService(std::istream& in, std::ostream& out);

  DialogResult MessageBox(DialogKind kind, std::string_view text,
                          DialogButtons buttons) override;
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

  // The heading of a box kind: "Error:", "Information:", "Confirmation:".
  static std::string_view Heading(DialogKind kind);
  // "[Yes/No]": the names of the offered buttons in kAllDialogButtons order.
  static std::string ButtonLine(DialogButtons buttons);

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_CONSOLE_DIALOG_SERVICE_H_
