// A box taller than the screen: the collector's success box for 150
// volumes, shown by the FLTK interface under Xvfb at 1280 x 800
// (tests/app/ui/programs/fltk_long_box.cc). The text goes into a scrolling
// area and the OK button lies on the screen, where the screenshot shows
// it. The screenshot is kept in the build tree
// (tests/app/ui/fltk_long_box.png).
#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/screen_image.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app {
namespace {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool found = false;
};

// The "NAME X Y W H" line of the helper's report.
Rect Find(const std::string& report, const std::string& name) {
  std::istringstream lines(report);
  std::string line;
  Rect rect;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string word;
    if (fields >> word && word == name &&
        fields >> rect.x >> rect.y >> rect.w >> rect.h) {
      rect.found = true;
    }
  }
  return rect;
}

bool IsDark(const test::Pixel& p) { return p.r < 80 && p.g < 80 && p.b < 80; }

TEST(FltkLongBoxTest, ButtonStaysOnTheScreenAndTheTextScrolls) {
  constexpr int kScreenW = 1280;
  constexpr int kScreenH = 800;
  test::TempDir dir;
  const std::string shot = dir.Join("screen.xwd");
  const auto result = test::RunCommand(
      "env -u TESSALY_UI LSAN_OPTIONS=suppressions=" +
      test::ShellQuote(test::SourceDir() + "/tests/app/ui/fltk_lsan.supp") +
      ":print_suppressions=0 xvfb-run -a -s '-screen 0 1280x800x24' " +
      test::ShellQuote(test::BinaryDir() + "/tests/fltk_long_box") + " " +
      test::ShellQuote(shot));
  ASSERT_EQ(result.exit_code, 0) << result.output;

  const Rect window = Find(result.output, "window");
  const Rect scroll = Find(result.output, "scroll");
  const Rect button = Find(result.output, "button");
  ASSERT_TRUE(window.found && scroll.found && button.found) << result.output;
  EXPECT_GE(window.y, 0) << result.output;
  EXPECT_LE(window.y + window.h, kScreenH) << result.output;
  EXPECT_GE(button.x, 0);
  EXPECT_GE(button.y, 0);
  EXPECT_LE(button.x + button.w, kScreenW);
  EXPECT_LE(button.y + button.h, kScreenH) << "OK is off the screen";
  EXPECT_GE(button.y, scroll.y + scroll.h) << "OK below the text";
  // 152 lines of text do not fit in 800 pixels: the area scrolls.
  const size_t content = result.output.find("content height ");
  ASSERT_NE(content, std::string::npos) << result.output;
  EXPECT_GT(std::stoi(result.output.substr(content + 15)), scroll.h);

  test::ScreenImage image;
  std::string error;
  ASSERT_TRUE(test::ReadXwd(shot, image, error)) << error;
  ASSERT_EQ(image.width, kScreenW);
  ASSERT_EQ(image.height, kScreenH);
  const std::string keep = test::BinaryDir() + "/tests/app/ui";
  std::filesystem::create_directories(keep);
  test::WritePng(image, keep + "/fltk_long_box.png");

  // The button as drawn: its label's dark pixels inside its face.
  int label = 0;
  for (int y = button.y + 3; y < button.y + button.h - 3; ++y) {
    for (int x = button.x + 3; x < button.x + button.w - 3; ++x) {
      if (IsDark(image.At(x, y))) ++label;
    }
  }
  EXPECT_GT(label, 10) << "no OK label where the button should be";
  EXPECT_FALSE(IsDark(image.At(button.x + 4, button.y + 4)))
      << "the button's face";
}

}  // namespace
}  // namespace tessaly::app
