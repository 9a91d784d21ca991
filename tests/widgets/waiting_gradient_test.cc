#include "widgets/waiting_gradient.h"

#include <gtest/gtest.h>

#include "widgets/color.h"
#include "widgets/rgb_bitmap.h"
#include "widgets/synchronizer.h"

namespace tessaly::widgets {
namespace {

constexpr Rgb kWhitePixel{255, 255, 255};
constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kButtonFace{192, 192, 192};

// Opens the indicator's state to the tests.
class ProbeGradient : public TWaitingGradient {
 public:
  using TWaitingGradient::BandLeft;
  using TWaitingGradient::MovingRight;
  using TWaitingGradient::TargetRect;
  using TWaitingGradient::TWaitingGradient;
};

// The indicator as the collector's window sets it up: 280 × 28, band 32,
// button highlight fading to active caption, steps driven by hand.
class WaitingGradientTest : public testing::Test {
 protected:
  WaitingGradientTest() : gradient_(sync_) {
    gradient_.BeginLoading();
    gradient_.SetBounds(2, 2, 280, 28);
    gradient_.SetGradientWidth(32);
    gradient_.SetStartColor(clBtnHighlight);
    gradient_.SetEndColor(clActiveCaption);
    gradient_.Loaded();
    gradient_.OnInvalidate = [this] { ++repaints_; };
  }

  void Steps(int count) {
    for (int i = 0; i < count; ++i) gradient_.Step();
  }

  QueuedSynchronizer sync_;
  ProbeGradient gradient_;
  int repaints_ = 0;
};

TEST(ColorTest, SystemColoursMapToTheStandardScheme) {
  EXPECT_EQ(ColorToRGB(clActiveCaption), clNavy);
  EXPECT_EQ(ToRgb(clBtnFace), kButtonFace);
  EXPECT_EQ(ToRgb(clBtnHighlight), kWhitePixel);
  EXPECT_EQ(ToRgb(clWindowText), (Rgb{0, 0, 0}));
  EXPECT_EQ(ToRgb(ColorFromRgb(1, 2, 3)), (Rgb{1, 2, 3}));
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456) << "palette flag dropped";
}

TEST(WaitingGradientDefaultsTest, ConstructedPausedOffTheLeftEdge) {
  QueuedSynchronizer sync;
  ProbeGradient gradient(sync);
  EXPECT_FALSE(gradient.Active());
  EXPECT_EQ(gradient.Width(), 100);
  EXPECT_EQ(gradient.Height(), 10);
  EXPECT_EQ(gradient.GradientWidth(), 50);
  EXPECT_EQ(gradient.BandLeft, -50);
  EXPECT_TRUE(gradient.MovingRight);
  EXPECT_EQ(gradient.Interval(), 50u);
  EXPECT_EQ(gradient.StartColor(), clBtnFace);
  EXPECT_EQ(gradient.EndColor(), clBlack);
  // Built by the size change in the constructor: button face fading to black.
  EXPECT_EQ(gradient.Band().Width(), 50);
  EXPECT_EQ(gradient.Band().Pixel(0, 9), kButtonFace);
  EXPECT_EQ(gradient.Band().Pixel(49, 0), (Rgb{4, 4, 4}));
}

TEST_F(WaitingGradientTest, BandFadesFromTrailingToLeadingColour) {
  const RgbBitmap& band = gradient_.Band();
  ASSERT_EQ(band.Width(), 32);
  ASSERT_EQ(band.Height(), 28);
  // Increments (0 - 255) / 32 and (128 - 255) / 32 per stripe.
  EXPECT_EQ(band.Pixel(0, 0), kWhitePixel);
  EXPECT_EQ(band.Pixel(1, 27), (Rgb{247, 247, 251}));
  EXPECT_EQ(band.Pixel(31, 13), (Rgb{8, 8, 132}));

  Steps(141);  // Turn at the right edge: the colours swap.
  ASSERT_FALSE(gradient_.MovingRight);
  EXPECT_EQ(band.Pixel(0, 0), kNavy);
  EXPECT_EQ(band.Pixel(31, 27), (Rgb{247, 247, 251}));
}

TEST_F(WaitingGradientTest, HalvesRoundToEven) {
  // Band 5 over 2 stripes of 2.5 pixels: edges 0, 2, 5 (not 0, 3, 5).
  gradient_.SetStartColor(ColorFromRgb(0, 0, 255));
  gradient_.SetEndColor(ColorFromRgb(1, 3, 250));
  gradient_.SetGradientWidth(5);
  gradient_.SetWidth(2);
  const RgbBitmap& band = gradient_.Band();
  EXPECT_EQ(band.Pixel(1, 0), (Rgb{0, 0, 255}));
  // Channels 0.5, 1.5 and 252.5.
  EXPECT_EQ(band.Pixel(2, 0), (Rgb{0, 2, 252}));
  EXPECT_EQ(band.Pixel(4, 0), (Rgb{0, 2, 252}));
}

TEST_F(WaitingGradientTest, BandWiderThanControlStillSpansItsWidth) {
  gradient_.SetStartColor(clBlack);
  gradient_.SetEndColor(clWhite);
  gradient_.SetWidth(40);
  gradient_.SetGradientWidth(100);  // 40 stripes of 2.5 pixels, 6.375 apart.
  const RgbBitmap& band = gradient_.Band();
  ASSERT_EQ(band.Width(), 100);
  EXPECT_EQ(band.Pixel(1, 0).r, 0);
  EXPECT_EQ(band.Pixel(2, 0).r, 6);
  EXPECT_EQ(band.Pixel(11, 0).r, 26);   // Stripe 4: 25.5.
  EXPECT_EQ(band.Pixel(12, 0).r, 32);   // Stripe 5 starts at round(12.5).
  EXPECT_EQ(band.Pixel(97, 0).r, 242);  // Stripe 38.
  EXPECT_EQ(band.Pixel(98, 0).r, 249);  // Stripe 39 starts at round(97.5).
  EXPECT_EQ(band.Pixel(99, 0).r, 249);
}

TEST_F(WaitingGradientTest, ZeroWidthControlResizesTheBandButDrawsNothing) {
  gradient_.SetWidth(0);
  gradient_.SetStartColor(ColorFromRgb(255, 0, 0));
  gradient_.SetHeight(30);
  const RgbBitmap& band = gradient_.Band();
  EXPECT_EQ(band.Width(), 32);
  EXPECT_EQ(band.Height(), 30);
  EXPECT_EQ(band.Pixel(0, 0), kWhitePixel) << "old stripe kept, no new stripe";
  EXPECT_EQ(band.Pixel(31, 0), (Rgb{8, 8, 132}));
}

TEST_F(WaitingGradientTest, NonPositiveGradientWidthIsIgnored) {
  Steps(3);
  gradient_.SetGradientWidth(0);
  gradient_.SetGradientWidth(-7);
  EXPECT_EQ(gradient_.GradientWidth(), 32);
  EXPECT_EQ(gradient_.BandLeft, -26);
  EXPECT_EQ(gradient_.Band().Width(), 32);
}

TEST_F(WaitingGradientTest, FullCycleTakes282Steps) {
  const RgbBitmap initial_band = gradient_.Band();
  Steps(140);
  EXPECT_EQ(gradient_.BandLeft, 248);
  EXPECT_TRUE(gradient_.MovingRight);
  Steps(1);
  EXPECT_EQ(gradient_.BandLeft, 280);
  EXPECT_FALSE(gradient_.MovingRight);
  Steps(140);
  EXPECT_EQ(gradient_.BandLeft, 0);
  EXPECT_FALSE(gradient_.MovingRight);
  Steps(1);
  EXPECT_EQ(gradient_.BandLeft, -32);
  EXPECT_TRUE(gradient_.MovingRight);
  EXPECT_EQ(gradient_.TargetRect, (Rect{-32, 0, 0, 28}));
  EXPECT_EQ(gradient_.Band().Pixel(31, 0), initial_band.Pixel(31, 0));
  EXPECT_EQ(repaints_, 282);
}

TEST_F(WaitingGradientTest, ActivateResumesWhereTheBandStopped) {
  Steps(5);
  gradient_.SetActive(true);
  EXPECT_TRUE(gradient_.Active());
  EXPECT_EQ(gradient_.BandLeft, -22);
  gradient_.SetActive(false);
  EXPECT_FALSE(gradient_.Active());
  EXPECT_EQ(gradient_.BandLeft, -22);
}

TEST_F(WaitingGradientTest, AlwaysRestartStartsOffTheLeftEdgeKeepingDirection) {
  gradient_.SetAlwaysRestart(true);
  Steps(145);  // Moving left at 272.
  gradient_.SetActive(true);
  EXPECT_EQ(gradient_.BandLeft, -32);
  EXPECT_FALSE(gradient_.MovingRight);
  EXPECT_EQ(gradient_.Band().Pixel(0, 0), kNavy);

  Steps(1);  // Turns without moving.
  EXPECT_EQ(gradient_.BandLeft, -32);
  EXPECT_TRUE(gradient_.MovingRight);

  Steps(3);
  gradient_.SetActive(true);  // Same value: no restart.
  EXPECT_EQ(gradient_.BandLeft, -26);
}

TEST_F(WaitingGradientTest, PaintFillsBackgroundAroundTheBand) {
  RgbBitmap canvas(280, 28, Rgb{0, 255, 0});
  Steps(2);  // Band at -28: only its last 4 columns are on the control.
  gradient_.Paint(canvas);
  EXPECT_EQ(canvas.Pixel(0, 0), gradient_.Band().Pixel(28, 0));
  EXPECT_EQ(canvas.Pixel(3, 27), gradient_.Band().Pixel(31, 27));
  EXPECT_EQ(canvas.Pixel(4, 0), kButtonFace);
  EXPECT_EQ(canvas.Pixel(279, 27), kButtonFace);

  Steps(18);  // Band at 8.
  gradient_.SetColor(ColorFromRgb(1, 2, 3));
  gradient_.Paint(canvas);
  EXPECT_EQ(canvas.Pixel(7, 5), (Rgb{1, 2, 3}));
  for (int x = 8; x < 40; ++x) {
    EXPECT_EQ(canvas.Pixel(x, 5), gradient_.Band().Pixel(x - 8, 5)) << x;
  }
  EXPECT_EQ(canvas.Pixel(40, 5), (Rgb{1, 2, 3}));
}

TEST_F(WaitingGradientTest, StepsArriveThroughTheGuiThread) {
  gradient_.SetInterval(1);
  gradient_.SetActive(true);
  ASSERT_TRUE(sync_.WaitForPending(std::chrono::seconds(5)));
  EXPECT_EQ(gradient_.BandLeft, -32) << "no step before the GUI runs it";
  EXPECT_EQ(sync_.RunPending(), 1);
  EXPECT_EQ(gradient_.BandLeft, -30);
  EXPECT_EQ(repaints_, 1);
}

TEST(WaitingGradientLifetimeTest, DestroyedWhileAStepWaitsRunsNoStep) {
  QueuedSynchronizer sync;
  int repaints = 0;
  {
    TWaitingGradient gradient(sync);
    gradient.OnInvalidate = [&repaints] { ++repaints; };
    gradient.SetInterval(1);
    gradient.SetActive(true);
    ASSERT_TRUE(sync.WaitForPending(std::chrono::seconds(5)));
    repaints = 0;
  }
  EXPECT_EQ(sync.RunPending(), 0);
  EXPECT_EQ(repaints, 0);
}

}  // namespace
}  // namespace tessaly::widgets
