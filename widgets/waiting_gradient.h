// TWaitingGradient: a busy indicator in which a colour band slides back and
// forth. The control is windowless and toolkit-free: it renders its band into
// an RgbBitmap of its own (BandImage) and paints itself onto a canvas bitmap
// the host provides. A host window shows the canvas and sets OnInvalidate so
// that the control can ask to be repainted.
//
// Timing comes from a TImageDrawThread; every step runs on the GUI thread
// through the Synchronizer given at construction, so the band moves only
// while the GUI thread processes its messages.
//
// Thread rules: everything here is called on the GUI thread.
#ifndef TESSALY_WIDGETS_WAITING_GRADIENT_H_
#define TESSALY_WIDGETS_WAITING_GRADIENT_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "widgets/color.h"
#include "widgets/image_draw_thread.h"
#include "widgets/rgb_bitmap.h"
#include "widgets/synchronizer.h"

namespace tessaly::widgets {

class TWaitingGradient {
 public:
  // An opaque control, 100 × 10, paused, band 50 pixels wide just off the
  // left edge (position -50), moving right; start colour button face, end
  // colour black, background button face. The timing thread is created
  // suspended with a 50 ms step delay. `synchronizer` must outlive the
  // control.
  explicit TWaitingGradient(Synchronizer& synchronizer);
  TWaitingGradient(const TWaitingGradient&) = delete;
  TWaitingGradient& operator=(const TWaitingGradient&) = delete;
  // Stops and joins the timing thread (see ~TImageDrawThread); a step that
  // has not started yet never runs.
  // REQUIRES: not called from inside the control's own step (OnInvalidate).
  virtual ~TWaitingGradient();

  // Whether the band is animating (the timing thread is not suspended).
  // Setting true resumes the thread and, with AlwaysRestart, moves the band
  // back just off the left edge (position -GradientWidth, band rebuilt, the
  // direction kept: a band that was moving left turns on its next step).
  // Setting false pauses the band where it is. Setting the current value
  // does nothing.
  bool Active() const;
  void SetActive(bool active);

  bool AlwaysRestart() const { return RestartFlag; }
  void SetAlwaysRestart(bool always_restart) { RestartFlag = always_restart; }

  // The band's colours; a change rebuilds the band. StartColor trails the
  // movement, EndColor leads it.
  TColor StartColor() const { return start_color_; }
  void SetStartColor(TColor color);
  TColor EndColor() const { return end_color_; }
  void SetEndColor(TColor color);

  // The band's width in pixels. A width <= 0 is ignored; otherwise the band
  // is rebuilt just off the left edge (position -width).
  int GradientWidth() const { return BandWidth; }
  void SetGradientWidth(int width);

  // Milliseconds between steps (the timing thread's StepDelay).
  uint32_t Interval() const { return TimingThread->StepDelay(); }
  void SetInterval(uint32_t milliseconds) {
    TimingThread->SetStepDelay(milliseconds);
  }

  // Bounds in the parent's coordinates. A change of size calls Resize;
  // every change asks for a repaint. Negative sizes count as 0.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }

  // Background left and right of the band; by default the button face
  // colour, the colour of the panel the indicator sits in.
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // Whether the host should show the control; true by default. Paint itself
  // does not look at it.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // The control paints every one of its pixels.
  static constexpr bool Opaque() { return true; }

  // Loading from saved settings: between BeginLoading and Loaded the band is
  // not built, however many properties change; Loaded builds it once.
  void BeginLoading() { loading_ = true; }
  bool Loading() const { return loading_; }
  virtual void Loaded();

  // Size changed: both rectangles become (0, 0, band width, height) and the
  // band is rebuilt.
  virtual void Resize();

  // Renders the band into BandImage: a fade from the trailing colour at its
  // left edge to (almost) the leading colour at its right edge, in
  // min(band width, control width) stripes. Skipped while loading.
  void BuildBand();

  // One animation step: the band moves 2 pixels; at the edge of the control
  // it turns, is rebuilt and reappears just outside the edge it was heading
  // for. Then asks for a repaint. With width 280 and band 32 a full cycle
  // takes 282 steps.
  void Step();

  // Paints the control onto `canvas`, whose (0, 0) is the control's top-left
  // corner: background left and right of the band, then the band. Drawing is
  // clipped to `canvas`, normally Width() × Height().
  virtual void Paint(RgbBitmap& canvas) const;

  // Asks the host for a repaint through OnInvalidate.
  void Invalidate();

  // Set by the host window: schedule a repaint (for FLTK: redraw()). Called
  // on the GUI thread. Must not destroy the control.
  std::function<void()> OnInvalidate;

  // The band's image, GradientWidth() × Height().
  const RgbBitmap& Band() const { return *BandImage; }

 protected:
  bool MovingRight = true;
  std::unique_ptr<RgbBitmap> BandImage;
  int32_t BandLeft = -50;
  int32_t BandWidth = 50;
  Rect SourceRect;  // The part of BandImage that is painted.
  Rect TargetRect;  // Where it is painted, in control coordinates.
  std::unique_ptr<TImageDrawThread> TimingThread;
  bool RestartFlag = false;

 private:
  void ResetRects();

  TColor start_color_ = clBtnFace;
  TColor end_color_ = clBlack;
  TColor color_ = clBtnFace;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool loading_ = false;
};

}  // namespace tessaly::widgets

#endif  // TESSALY_WIDGETS_WAITING_GRADIENT_H_
