// The console interface: boxes as text blocks, answers from the input,
// close requests by line, end of input and Ctrl-C, and the text band.
#include "app/ui/posix/console_ui.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>

#include "app/collector/form_main.h"
#include "tests/app/collector_fixture.h"
#include "widgets/synchronizer.h"

namespace tessaly::app {
namespace {

using testing::Installation;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class ConsoleUiTest : public ::testing::Test {
 protected:
  // Runs the collector with `input` on a console interface whose registry
  // is the installation's; `hook` may wrap handlers before the run.
  int Run(const std::string& input,
          const std::function<void(TFormMain&, ConsoleUi&)>& hook = nullptr,
          bool draw_band = false) {
    in_.str(input);
    ConsoleUi ui(in_, out_, err_, draw_band);
    setenv("TESSALY_REGISTRY", site_.registry_file().c_str(), 1);
    TFormMain form(ui);
    if (hook) hook(form, ui);
    ui.Run(form);
    unsetenv("TESSALY_REGISTRY");
    return form.ExitCode();
  }

  // Makes every file progress event first do what `action` says.
  static void BeforeFileProgress(TFormMain& form,
                                 std::function<void()> action) {
    auto original = form.ZipArchiver.OnFileProgress;
    form.ZipArchiver.OnFileProgress =
        [original, action, done = false](
            engine::Component* sender, const std::string& name, double progress,
            engine::TZAProcessOperation operation,
            engine::TZAProgressPhase phase, bool& cancel) mutable {
          if (!done) {
            done = true;
            action();
          }
          original(sender, name, progress, operation, phase, cancel);
        };
  }

  Installation site_;
  std::istringstream in_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ConsoleUiTest, NotFoundWaitsForACloseLine) {
  site_.WriteRegistry("REGEDIT4\r\n");

  EXPECT_EQ(Run("hello\nclose\nno\nclose\n"), 1);

  const std::string out = out_.str();
  EXPECT_EQ(out.rfind("Error:\nUnable to locate Tessaly database!\n", 0), 0u)
      << out;
  EXPECT_EQ(Count(out,
                  "Confirmation:\nAbandon collection of files?\n"
                  "[Yes/No]\n"),
            2u)
      << out;
}

TEST_F(ConsoleUiTest, EndOfInputClosesTheWindowUnattended) {
  site_.WriteRegistry("REGEDIT4\r\n");

  EXPECT_EQ(Run(""), 1);

  EXPECT_EQ(Count(out_.str(), "Confirmation:"), 1u) << out_.str();
  EXPECT_EQ(err_.str(), "");
}

TEST_F(ConsoleUiTest, SuccessIsOneInformationBlockAndTheBandIsCleared) {
  site_.AddSmallDataSet();

  EXPECT_EQ(Run("", nullptr, /*draw_band=*/true), 0);

  const std::string out = out_.str();
  EXPECT_EQ(
      out.rfind("Information:\nTessaly data has been zipped into: \r\n", 0), 0u)
      << out;
  EXPECT_EQ(Count(out, "Please send as attachments to separate emails."), 1u);
  const std::string err = err_.str();
  ASSERT_NE(err.find("\r["), std::string::npos) << "the band was never drawn";
  // The line is left blank for the shell.
  EXPECT_EQ(err.substr(err.size() - 44), "\r" + std::string(42, ' ') + "\r");
}

TEST_F(ConsoleUiTest, CloseRequestDuringTheJobReadsTheAnswer) {
  site_.AddSmallDataSet();
  EXPECT_EQ(Run("no\n",
                [](TFormMain& form, ConsoleUi& ui) {
                  BeforeFileProgress(form, [&ui] { ui.RequestClose(); });
                }),
            0);
  EXPECT_EQ(Count(out_.str(), "Abandon collection of files?"), 1u);
  EXPECT_EQ(Count(out_.str(), "Information:"), 1u);
}

TEST_F(ConsoleUiTest, InterruptDuringTheJobAbandonsWhenConfirmed) {
  site_.AddSmallDataSet();
  EXPECT_EQ(Run("yes\n",
                [](TFormMain& form, ConsoleUi& ui) {
                  ui.EnableInterruptHandling();
                  BeforeFileProgress(form, [] { raise(SIGINT); });
                }),
            1);
  EXPECT_EQ(out_.str(),
            "Confirmation:\nAbandon collection of files?\n[Yes/No]\n");
}

TEST(ConsoleBandTest, BandTextFollowsTheBand) {
  widgets::QueuedSynchronizer sync;
  widgets::TWaitingGradient gradient(sync);
  gradient.SetBounds(2, 2, 280, 28);
  gradient.SetGradientWidth(32);
  gradient.SetStartColor(widgets::clBtnHighlight);
  gradient.SetEndColor(widgets::clActiveCaption);

  gradient.SetBounds(2, 2, 0, 28);
  EXPECT_EQ(ConsoleUi::BandText(gradient, 40), std::string(40, ' '));
  gradient.SetBounds(2, 2, 280, 28);

  for (int i = 0; i < 36; ++i) gradient.Step();  // band at x = 40 .. 71
  const std::string text = ConsoleUi::BandText(gradient, 40);  // 7 px each
  EXPECT_EQ(text.find_first_not_of(' '), 5u) << "[" << text << "]";
  EXPECT_EQ(text.find_last_not_of(' '), 10u) << "[" << text << "]";
  // Moving right, the trailing edge is the light start colour and the
  // leading edge the dark end colour.
  EXPECT_EQ(text[5], '.');
  EXPECT_EQ(text[10], '@');
}

}  // namespace
}  // namespace tessaly::app
