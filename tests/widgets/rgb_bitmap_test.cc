#include "widgets/rgb_bitmap.h"

#include <gtest/gtest.h>

namespace tessaly::widgets {
namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};

TEST(RgbBitmapTest, FillRectIsClippedAndExclusiveAtRightAndBottom) {
  RgbBitmap bitmap(4, 3);
  bitmap.FillRect(-5, -5, 2, 1, kRed);
  bitmap.FillRect(3, 2, 100, 100, kBlue);
  bitmap.FillRect(2, 0, 2, 3, kBlue);  // Empty.
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      Rgb expected = kWhite;
      if (x < 2 && y < 1) expected = kRed;
      if (x == 3 && y == 2) expected = kBlue;
      EXPECT_EQ(bitmap.Pixel(x, y), expected) << "(" << x << ", " << y << ")";
    }
  }
  const uint8_t* data = bitmap.Data();
  EXPECT_EQ(data[(2 * 4 + 3) * 3 + 2], 255) << "row-major RGB layout";
}

TEST(RgbBitmapTest, ResizeKeepsTheOverlapAndWhitensNewPixels) {
  RgbBitmap bitmap(2, 2, kRed);
  bitmap.Resize(3, 1);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(bitmap.Height(), 1);
  EXPECT_EQ(bitmap.Pixel(1, 0), kRed);
  EXPECT_EQ(bitmap.Pixel(2, 0), kWhite);
  bitmap.Resize(-1, 5);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Data(), nullptr);
}

TEST(RgbBitmapTest, CopyRectClipsAtEveryEdge) {
  RgbBitmap band(4, 2);
  for (int x = 0; x < 4; ++x)
    band.FillRect(x, 0, x + 1, 2, Rgb{uint8_t(x), 0, 0});
  RgbBitmap canvas(6, 2, kBlue);

  band.CopyRect(Rect{0, 0, 4, 2}, canvas, Rect{-2, 0, 2, 2});
  EXPECT_EQ(canvas.Pixel(0, 1), (Rgb{2, 0, 0}));
  EXPECT_EQ(canvas.Pixel(1, 1), (Rgb{3, 0, 0}));
  EXPECT_EQ(canvas.Pixel(2, 1), kBlue);

  band.CopyRect(Rect{0, 0, 4, 2}, canvas, Rect{4, 0, 8, 2});
  EXPECT_EQ(canvas.Pixel(4, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(canvas.Pixel(5, 0), (Rgb{1, 0, 0}));

  // A source rectangle reaching past the bitmap leaves those targets alone.
  RgbBitmap other(6, 2, kBlue);
  band.CopyRect(Rect{2, 0, 6, 2}, other, Rect{0, 0, 4, 2});
  EXPECT_EQ(other.Pixel(1, 0), (Rgb{3, 0, 0}));
  EXPECT_EQ(other.Pixel(2, 0), kBlue);
}

TEST(RgbBitmapTest, CopyRectStretchesByNearestPixel) {
  RgbBitmap source(2, 1);
  source.FillRect(0, 0, 1, 1, kRed);
  source.FillRect(1, 0, 2, 1, kBlue);
  RgbBitmap canvas(4, 1);
  source.CopyRect(Rect{0, 0, 2, 1}, canvas, Rect{0, 0, 4, 1});
  EXPECT_EQ(canvas.Pixel(1, 0), kRed);
  EXPECT_EQ(canvas.Pixel(2, 0), kBlue);
}

}  // namespace
}  // namespace tessaly::widgets
