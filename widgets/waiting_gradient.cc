// The band is a stack of solid vertical stripes. With n = min(band width,
// control width) stripes of band_width / n pixels each, stripe i has the
// colour from + i * (to - from) / n per channel, the per-stripe increment
// held in single precision. Stripe edges and channel values are rounded to
// the nearest integer with halves going to the even neighbour, so a band of
// 5 over n = 2 splits 2 + 3 pixels, not 3 + 2. One more stripe (i = n) is
// computed than fits; it always falls outside the bitmap and is clipped.
#include "widgets/waiting_gradient.h"

#include <algorithm>
#include <cmath>

namespace tessaly::widgets {

namespace {

// Round half to even, independent of the floating-point rounding mode.
// v - floor(v) is exact for every double of interest here.
double RoundHalfEven(double v) {
  const double whole = std::floor(v);
  const double fraction = v - whole;
  if (fraction > 0.5) return whole + 1;
  if (fraction < 0.5) return whole;
  return std::fmod(whole, 2.0) == 0.0 ? whole : whole + 1;
}

int RoundToInt(double v) { return static_cast<int>(RoundHalfEven(v)); }

uint8_t RoundChannel(double v) {
  return static_cast<uint8_t>(std::clamp(RoundHalfEven(v), 0.0, 255.0));
}

}  // namespace

TWaitingGradient::TWaitingGradient(Synchronizer& synchronizer)
    : BandImage(std::make_unique<RgbBitmap>()),
      TimingThread(
          std::make_unique<TImageDrawThread>(synchronizer,
                                             /*create_suspended=*/true)) {
  ResetRects();
  TimingThread->SetStepDelay(50);
  TimingThread->OnStep = [this](TImageDrawThread&) { Step(); };
  SetHeight(10);
  SetWidth(100);
}

TWaitingGradient::~TWaitingGradient() {
  TimingThread->OnStep = nullptr;
  TimingThread->Terminate();
  TimingThread.reset();
  BandImage.reset();
}

bool TWaitingGradient::Active() const { return !TimingThread->Suspended(); }

void TWaitingGradient::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    TimingThread->Resume();
    if (RestartFlag) {
      BandLeft = -BandWidth;
      BuildBand();
    }
  } else {
    TimingThread->Suspend();
  }
}

void TWaitingGradient::SetStartColor(TColor color) {
  if (color == start_color_) return;
  start_color_ = color;
  BuildBand();
}

void TWaitingGradient::SetEndColor(TColor color) {
  if (color == end_color_) return;
  end_color_ = color;
  BuildBand();
}

void TWaitingGradient::SetGradientWidth(int width) {
  if (width <= 0) return;
  BandWidth = width;
  BandLeft = -width;
  ResetRects();
  BuildBand();
}

void TWaitingGradient::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) {
    return;
  }
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (resized) Resize();
  Invalidate();
}

void TWaitingGradient::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void TWaitingGradient::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Invalidate();
}

void TWaitingGradient::Loaded() {
  loading_ = false;
  BuildBand();
}

void TWaitingGradient::Resize() {
  ResetRects();
  BuildBand();
}

void TWaitingGradient::ResetRects() {
  SourceRect = Rect{0, 0, BandWidth, height_};
  TargetRect = SourceRect;
}

void TWaitingGradient::BuildBand() {
  if (loading_ || !BandImage) return;
  const Rgb from = ToRgb(MovingRight ? start_color_ : end_color_);
  const Rgb to = ToRgb(MovingRight ? end_color_ : start_color_);
  BandImage->Resize(BandWidth, height_);
  const int n = std::min(BandWidth, width_);
  if (n < 1) return;

  const float red_step =
      static_cast<float>(to.r - from.r) / static_cast<float>(n);
  const float green_step =
      static_cast<float>(to.g - from.g) / static_cast<float>(n);
  const float blue_step =
      static_cast<float>(to.b - from.b) / static_cast<float>(n);
  const double stripe_width = static_cast<double>(BandWidth) / n;
  for (int i = 0; i <= n; ++i) {
    // The products are exact in double precision, so the only roundings are
    // the single-precision steps above and the ones below.
    const Rgb color{RoundChannel(from.r + i * static_cast<double>(red_step)),
                    RoundChannel(from.g + i * static_cast<double>(green_step)),
                    RoundChannel(from.b + i * static_cast<double>(blue_step))};
    BandImage->FillRect(RoundToInt(i * stripe_width), 0,
                        RoundToInt((i + 1) * stripe_width), height_, color);
  }
}

void TWaitingGradient::Step() {
  if (MovingRight) {
    if (BandLeft + BandWidth < width_) {
      BandLeft += 2;
    } else {
      MovingRight = false;
      BuildBand();
      BandLeft = width_;
    }
  } else {
    if (BandLeft > 0) {
      BandLeft -= 2;
    } else {
      MovingRight = true;
      BuildBand();
      BandLeft = -BandWidth;
    }
  }
  TargetRect.left = BandLeft;
  TargetRect.right = BandLeft + BandWidth;
  Invalidate();
}

void TWaitingGradient::Paint(RgbBitmap& canvas) const {
  const Rgb background = ToRgb(color_);
  canvas.FillRect(0, 0, BandLeft, height_, background);
  canvas.FillRect(BandLeft + BandImage->Width(), 0, width_, height_,
                  background);
  BandImage->CopyRect(SourceRect, canvas, TargetRect);
}

void TWaitingGradient::Invalidate() {
  if (OnInvalidate) OnInvalidate();
}

}  // namespace tessaly::widgets
