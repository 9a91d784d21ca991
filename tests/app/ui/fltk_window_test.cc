// The real program's window under Xvfb: two screenshots taken while it packs
// about 60 MB of data, checked for the window's size, the label, the
// panel's bevel and a band that moves. The screenshots are kept as PNG files
// in the build tree (tests/app/ui/fltk_window_1.png, _2.png) for a person to
// look at.
//
// Without a window manager, as under Xvfb, the X window has no frame, so
// the checked 300 x 112 is both the client area and the whole window. The
// program answers its final information box by itself through the
// test-only variable TESSALY_TEST_AUTO_ANSWER_MS.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "tests/app/collector_fixture.h"
#include "tests/support/run_command.h"
#include "tests/support/screen_image.h"
#include "widgets/color.h"

namespace tessaly::app {
namespace {

using Image = test::ScreenImage;
using test::Pixel;

// A colour as a screenshot shows it.
Pixel OnScreen(widgets::TColor color) {
  const widgets::Rgb rgb = widgets::ToRgb(color);
  return Pixel{rgb.r, rgb.g, rgb.b};
}

// About 60 MB of numeric records that deflate at level 9 packs at some
// 15 MB/s: the job runs for seconds, with a progress event (and so a
// message pump) every fraction of a second. A sanitizer build packs a
// third of it in about as long.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLargeDataFiles = 2;
#else
constexpr int kLargeDataFiles = 6;
#endif
void WriteLargeDataSet(const testing::Installation& site) {
  site.AddData("FileList.cfg", "[Files]\r\n");
  uint64_t x = 88172645463325252ull;
  for (int file = 0; file < kLargeDataFiles; ++file) {
    std::string text;
    text.reserve(10'000'100);
    while (text.size() < 10'000'000) {
      for (int field = 0; field < 8; ++field) {
        for (int digit = 0; digit < 7; ++digit) {
          x ^= x << 13;
          x ^= x >> 7;
          x ^= x << 17;
          text += static_cast<char>('0' + (x >> 32) % 10);
        }
        text += field == 7 ? '\n' : ';';
      }
    }
    site.AddData("Ledger" + std::to_string(file) + ".dat", text);
  }
}

// Starts the program, waits for its window, then dumps it every 0.3 s, up
// to eight times, until a box has opened (the job is over); reports the
// window's size, the dump after which a box was seen, and the program's
// exit code.
constexpr char kScript[] = R"(
out=$1
program=$2
"$program" &
pid=$!
for i in $(seq 100); do
  xwininfo -name "Tessaly Data Zipper" >/dev/null 2>&1 && break
  sleep 0.1
done
xwininfo -name "Tessaly Data Zipper" | sed -n 's/^ *\(Width\|Height\): */\1 /p'
for k in 1 2 3 4 5 6 7 8; do
  sleep 0.3
  xwd -name "Tessaly Data Zipper" -silent > "$out/shot$k.xwd" || break
  if xwininfo -name Information >/dev/null 2>&1; then
    echo "box after $k"
    break
  fi
done
wait $pid
echo "exit $?"
)";

bool IsBand(const Pixel& p) {
  const Pixel face = OnScreen(widgets::clBtnFace);
  return !(p == face);
}

// The band's columns on row `y` inside the panel's client area.
std::vector<int> BandColumns(const Image& image, int y) {
  std::vector<int> columns;
  for (int x = 6; x < 286; ++x) {
    if (IsBand(image.At(x, y))) columns.push_back(x);
  }
  return columns;
}

void CheckLayout(const Image& image, const std::string& name) {
  SCOPED_TRACE(name);
  ASSERT_EQ(image.width, 300);
  ASSERT_EQ(image.height, 112);
  const Pixel face = OnScreen(widgets::clBtnFace);
  const Pixel navy = OnScreen(widgets::clActiveCaption);
  const Pixel shadow = OnScreen(widgets::clBtnShadow);
  const Pixel white = OnScreen(widgets::clBtnHighlight);

  // The window's face colour around the controls.
  for (auto [x, y] :
       {std::pair{1, 30}, {150, 30}, {298, 80}, {2, 110}, {290, 50}}) {
    EXPECT_EQ(image.At(x, y), face) << "at " << x << "," << y;
  }

  // The label: navy text inside the top 24 pixels, centred, at the bottom.
  int left = image.width, right = -1, top = image.height, bottom = -1;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.At(x, y) != navy) continue;
      if (y >= 36 && y < 68 && x >= 6 && x < 286) continue;  // the band
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  ASSERT_GE(right, 0) << "no label text";
  EXPECT_LT(bottom, 24) << "label text below the label";
  EXPECT_GE(bottom, 16) << "label text not bottom-aligned";
  EXPECT_GT(right - left, 150) << "label text too short";
  EXPECT_NEAR((left + right) / 2.0, 150.0, 4.0) << "label text not centred";

  // The lowered 2-pixel bevel of the panel at (4, 36), 284 x 32.
  for (int ring = 0; ring < 2; ++ring) {
    const int l = 4 + ring, t = 36 + ring, r = 287 - ring, b = 67 - ring;
    EXPECT_EQ(image.At(l, 50), shadow) << "left edge, ring " << ring;
    EXPECT_EQ(image.At(100, t), shadow) << "top edge, ring " << ring;
    EXPECT_EQ(image.At(r, 50), white) << "right edge, ring " << ring;
    EXPECT_EQ(image.At(100, b), white) << "bottom edge, ring " << ring;
    EXPECT_EQ(image.At(l, t), shadow) << "top-left corner, ring " << ring;
    EXPECT_EQ(image.At(r, t), white) << "top-right corner, ring " << ring;
    EXPECT_EQ(image.At(l, b), white) << "bottom-left corner, ring " << ring;
  }
  EXPECT_EQ(image.At(3, 50), face) << "nothing left of the panel";
  EXPECT_EQ(image.At(288, 50), face) << "nothing right of the panel";

  // A band of full height inside the client area (2, 2, 280, 28).
  const std::vector<int> columns = BandColumns(image, 50);
  ASSERT_FALSE(columns.empty()) << "no band";
  EXPECT_LE(columns.size(), 32u);
  const int middle = columns[columns.size() / 2];
  EXPECT_TRUE(IsBand(image.At(middle, 38)));
  EXPECT_TRUE(IsBand(image.At(middle, 65)));
}

TEST(FltkWindowTest, WindowShowsLabelPanelAndAMovingBand) {
  testing::Installation site;
  WriteLargeDataSet(site);
  const std::string out = site.tmp().path();
  site.tmp().WriteFile("shots.sh", kScript);

  const test::CommandResult result = test::RunCommand(
      "env -u TESSALY_UI TESSALY_REGISTRY=" +
      test::ShellQuote(site.registry_file()) +
      " TESSALY_TEST_AUTO_ANSWER_MS=1000 LSAN_OPTIONS=suppressions=" +
      test::ShellQuote(test::SourceDir() + "/tests/app/ui/fltk_lsan.supp") +
      ":print_suppressions=0 xvfb-run -a -s '-screen 0 800x600x24' "
      "bash " +
      test::ShellQuote(out + "shots.sh") + " " + test::ShellQuote(out) + " " +
      test::ShellQuote(test::BinaryDir() + "/app/tessaly-zipper"));
  ASSERT_NE(result.output.find("exit "), std::string::npos)
      << "xvfb-run did not run the script (is xvfb installed?)\n"
      << result.output;
  EXPECT_NE(result.output.find("Width 300\nHeight 112\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("exit 0"), std::string::npos) << result.output;

  // The dumps taken while the job ran and the band was showing.
  int box_after = 9;
  const size_t box = result.output.find("box after ");
  if (box != std::string::npos) box_after = result.output[box + 10] - '0';
  std::vector<Image> shots;
  for (int k = 1; k < box_after && k <= 8; ++k) {
    Image image;
    std::string error;
    const std::string name = "shot" + std::to_string(k) + ".xwd";
    if (!test::ReadXwd(out + name, image, error)) break;  // the window had gone
    ASSERT_EQ(image.width, 300) << name;
    ASSERT_EQ(image.height, 112) << name;
    if (!BandColumns(image, 50).empty()) shots.push_back(std::move(image));
  }
  ASSERT_GE(shots.size(), 2u)
      << "fewer than two screenshots of a running job; more data needed\n"
      << result.output;

  const std::string keep = test::BinaryDir() + "/tests/app/ui";
  std::filesystem::create_directories(keep);
  for (size_t i = 0; i < 2; ++i) {
    test::WritePng(shots[i], keep + "/fltk_window_" + std::to_string(i + 1) + ".png");
    CheckLayout(shots[i], "screenshot " + std::to_string(i + 1));
  }
  EXPECT_NE(BandColumns(shots[0], 50), BandColumns(shots[1], 50))
      << "the band did not move";

  EXPECT_TRUE(testing::Exists(site.archive(".z01")));
  testing::Expect7zTestOk(site.archive());
}

}  // namespace
}  // namespace tessaly::app
