// ConsoleUi: the collector on a terminal or in a script, when no display is
// available (or TESSALY_UI=console).
//
// - Every box is printed on `out` as one block headed "Error:",
//   "Information:" or "Confirmation:" (engine::ConsoleDialogService); a
//   confirmation reads its answer, a button name, as one line from `in`. At
//   end of input it takes the answer that stops work without writing more
//   (engine::UnattendedAnswer), so an unattended run always ends.
// - The window's close button is Ctrl-C while the job runs (with
//   EnableInterruptHandling) or RequestClose. When the job has stopped with
//   the window still open (no data folder found), a line "close" or the end
//   of input is the close request; other lines are ignored.
// - With `draw_band` (meant for a terminal on stderr) the busy indicator is
//   drawn on `err` as one text line that is rewritten in place; without it
//   nothing is drawn.
//
// Thread rules: one thread, except RequestClose (any thread, and signal
// handlers).
#ifndef TESSALY_APP_UI_POSIX_CONSOLE_UI_H_
#define TESSALY_APP_UI_POSIX_CONSOLE_UI_H_

#include <atomic>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "app/collector/user_interface.h"
#include "engine/base/console_dialog_service.h"
#include "widgets/synchronizer.h"
#include "widgets/waiting_gradient.h"

namespace tessaly::app {

class ConsoleUi final : public UserInterface {
 public:
  // The streams are borrowed and must outlive the interface.
  ConsoleUi(std::istream& in, std::ostream& out, std::ostream& err,
            bool draw_band);
  ~ConsoleUi() override;

  // Makes SIGINT (Ctrl-C) a close request for as long as this object lives.
  // A read from the terminal that SIGINT interrupts ends the input, so
  // Ctrl-C at a prompt answers it as end of input does.
  void EnableInterruptHandling();

  // Asks to close the window at the next message pump. Async-signal-safe.
  void RequestClose() { close_requested_.store(true); }

  // The indicator as `columns` characters: blanks where the background
  // shows, the band in characters that darken towards its end colour.
  static std::string BandText(const widgets::TWaitingGradient& gradient,
                              int columns);

  void Run(TFormMain& form) override;
  void ProcessMessages() override;
  void RepaintPanel() override;
  void CloseWindow() override;
  widgets::Synchronizer& GuiSynchronizer() override { return sync_; }

  engine::DialogResult MessageBox(engine::DialogKind kind,
                                  std::string_view text,
                                  engine::DialogButtons buttons) override;
  bool InputBox(std::string_view caption, std::string_view prompt,
                std::string& value) override;

 private:
  static constexpr int kBandColumns = 40;

  // A close request from Ctrl-C or RequestClose, if one is pending.
  bool TakeCloseRequest();
  void DrawBand();
  void ClearBand();
  // Waits `milliseconds` while running the indicator's steps.
  void Wait(int milliseconds);

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  const bool draw_band_;
  engine::ConsoleDialogService dialogs_;
  widgets::QueuedSynchronizer sync_;
  TFormMain* form_ = nullptr;
  std::atomic<bool> close_requested_{false};
  bool handles_interrupt_ = false;
  bool band_dirty_ = false;
  bool band_shown_ = false;
  bool window_closed_ = false;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_POSIX_CONSOLE_UI_H_
