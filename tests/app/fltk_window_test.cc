// The real program's window under Xvfb: two screenshots taken while it packs
// about 60 MB of data, checked for the window's size, the label, the
// panel's bevel and a band that moves. The screenshots are kept as PNG files
// in the build tree (tests/app/fltk_window_1.png, _2.png) for a person to
// look at.
//
// Without a window manager, as under Xvfb, the X window has no frame, so
// the checked 300 x 112 is both the client area and the whole window. The
// program answers its final information box by itself through the
// test-only variable TESSALY_TEST_AUTO_ANSWER_MS.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/app/collector_fixture.h"
#include "tests/support/run_command.h"
#include "widgets/color.h"

namespace tessaly::app {
namespace {

using widgets::Rgb;

// An image read from an X window dump (xwd): ZPixmap, 24 or 32 bits per
// pixel, true colour.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;

  Rgb At(int x, int y) const {
    return pixels[static_cast<size_t>(y * width + x)];
  }
};

uint32_t BigEndian32(const std::string& data, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(data[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3]));
}

int Shift(uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Reads an XWD file (X11 XWDFile.h layout: 25 big-endian 32-bit header
// fields, the window name, the colour map, then the pixels).
bool ReadXwd(const std::string& path, Image& image, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream buffer;
  buffer << file.rdbuf();
  const std::string data = buffer.str();
  if (data.size() < 100) {
    error = "short file";
    return false;
  }
  auto field = [&](int index) { return BigEndian32(data, index * 4); };
  const uint32_t header_size = field(0);
  const uint32_t format = field(2);
  const uint32_t width = field(4);
  const uint32_t height = field(5);
  const uint32_t byte_order = field(7);  // 0: LSB first
  const uint32_t bits_per_pixel = field(11);
  const uint32_t bytes_per_line = field(12);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  const uint32_t colors = field(19);
  const size_t start = header_size + colors * 12;
  if (format != 2 || (bits_per_pixel != 32 && bits_per_pixel != 24)) {
    error = "unsupported XWD format";
    return false;
  }
  if (data.size() < start + static_cast<size_t>(bytes_per_line) * height) {
    error = "truncated pixels";
    return false;
  }
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.clear();
  const size_t step = bits_per_pixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = start + y * bytes_per_line + x * step;
      uint32_t value = 0;
      for (size_t i = 0; i < step; ++i) {
        const uint32_t byte = static_cast<uint8_t>(data[at + i]);
        value |=
            byte_order == 0 ? byte << (8 * i) : byte << (8 * (step - 1 - i));
      }
      uint8_t channel[3];
      for (int c = 0; c < 3; ++c) {
        channel[c] =
            static_cast<uint8_t>((value & masks[c]) >> Shift(masks[c]));
      }
      image.pixels.push_back(Rgb{channel[0], channel[1], channel[2]});
    }
  }
  return true;
}

void AppendChunk(std::string& png, const char* type, const std::string& body) {
  auto put32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      png += static_cast<char>((v >> shift) & 0xFF);
    }
  };
  put32(static_cast<uint32_t>(body.size()));
  const std::string typed = std::string(type) + body;
  png += typed;
  put32(static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
            static_cast<uInt>(typed.size()))));
}

// Writes `image` as an 8-bit RGB PNG (RFC 2083).
void WritePng(const Image& image, const std::string& path) {
  std::string raw;
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < image.width; ++x) {
      const Rgb p = image.At(x, y);
      raw += static_cast<char>(p.r);
      raw += static_cast<char>(p.g);
      raw += static_cast<char>(p.b);
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(size);
  std::string header;
  for (uint32_t v : {static_cast<uint32_t>(image.width),
                     static_cast<uint32_t>(image.height)}) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      header += static_cast<char>((v >> shift) & 0xFF);
    }
  }
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  std::string png = "\x89PNG\r\n\x1A\n";
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", packed);
  AppendChunk(png, "IEND", "");
  std::ofstream(path, std::ios::binary) << png;
}

// About 60 MB of numeric records that deflate at level 9 packs at some
// 15 MB/s: the job runs for seconds, with a progress event (and so a
// message pump) every fraction of a second.
void WriteLargeDataSet(const testing::Installation& site) {
  site.AddData("FileList.cfg", "[Files]\r\n");
  uint64_t x = 88172645463325252ull;
  for (int file = 0; file < 6; ++file) {
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

bool IsBand(const Rgb& p) {
  const Rgb face = widgets::ToRgb(widgets::clBtnFace);
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
  const Rgb face = widgets::ToRgb(widgets::clBtnFace);
  const Rgb navy = widgets::ToRgb(widgets::clActiveCaption);
  const Rgb shadow = widgets::ToRgb(widgets::clBtnShadow);
  const Rgb white = widgets::ToRgb(widgets::clBtnHighlight);

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
      test::ShellQuote(test::SourceDir() + "/tests/app/fltk_lsan.supp") +
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
    if (!ReadXwd(out + name, image, error)) break;  // the window had gone
    ASSERT_EQ(image.width, 300) << name;
    ASSERT_EQ(image.height, 112) << name;
    if (!BandColumns(image, 50).empty()) shots.push_back(std::move(image));
  }
  ASSERT_GE(shots.size(), 2u)
      << "fewer than two screenshots of a running job; more data needed\n"
      << result.output;

  const std::string keep = test::BinaryDir() + "/tests/app";
  std::filesystem::create_directories(keep);
  for (size_t i = 0; i < 2; ++i) {
    WritePng(shots[i], keep + "/fltk_window_" + std::to_string(i + 1) + ".png");
    CheckLayout(shots[i], "screenshot " + std::to_string(i + 1));
  }
  EXPECT_NE(BandColumns(shots[0], 50), BandColumns(shots[1], 50))
      << "the band did not move";

  EXPECT_TRUE(testing::Exists(site.archive(".z01")));
  testing::Expect7zTestOk(site.archive());
}

}  // namespace
}  // namespace tessaly::app
