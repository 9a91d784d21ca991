#include "app/ui/fltk/fltk_main_window.h"

#include <array>
#include <utility>

#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace tessaly::app {

namespace {

// FLTK's font for the class library's "MS Sans Serif": both are the
// desktop's plain sans-serif face. A negative height is the character
// height in pixels, which is FLTK's size.
Fl_Font FltkFont(const TFont& font) {
  return font.Bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}

Fl_Fontsize FltkFontSize(const TFont& font) {
  return static_cast<Fl_Fontsize>(font.Height < 0 ? -font.Height : font.Height);
}

// The window icon: a folder with a zipper down its middle, RGBA.
std::vector<uchar> IconPixels(int size) {
  std::vector<uchar> pixels(static_cast<size_t>(size * size * 4), 0);
  auto put = [&](int x, int y, widgets::Rgb c) {
    uchar* p = &pixels[static_cast<size_t>((y * size + x) * 4)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = 255;
  };
  const widgets::Rgb folder{230, 190, 80};
  const widgets::Rgb edge{150, 110, 30};
  const widgets::Rgb zipper_dark{40, 40, 40};
  const widgets::Rgb zipper_light{200, 200, 200};
  const int top = size / 4;
  const int tab = size / 8;
  for (int y = top - tab; y < size - 1; ++y) {
    for (int x = 1; x < size - 1; ++x) {
      if (y < top && x > size / 2) continue;  // the folder's tab
      const bool border = y == top - tab || y == size - 2 || x == 1 ||
                          x == size - 2 || (y == top && x > size / 2);
      put(x, y, border ? edge : folder);
    }
  }
  const int mid = size / 2;
  for (int y = top + 1; y < size - 2; ++y) {
    put(mid - 1, y, (y % 2) ? zipper_dark : zipper_light);
    put(mid, y, (y % 2) ? zipper_light : zipper_dark);
  }
  return pixels;
}

}  // namespace

Fl_Color FltkColor(widgets::TColor color) {
  const widgets::Rgb rgb = widgets::ToRgb(color);
  return fl_rgb_color(rgb.r, rgb.g, rgb.b);
}

FltkBevelPanel::FltkBevelPanel(const TPanel& panel, int x, int y)
    : Fl_Group(x, y, panel.Bounds.Width, panel.Bounds.Height),
      bevel_(panel.BevelOuter),
      bevel_width_(panel.BevelWidth) {
  box(FL_FLAT_BOX);
  color(FltkColor(panel.Color));
}

void FltkBevelPanel::draw() {
  fl_rectf(x(), y(), w(), h(), color());
  if (bevel_ == bvLowered || bevel_ == bvRaised) {
    const Fl_Color shadow = FltkColor(widgets::clBtnShadow);
    const Fl_Color highlight = FltkColor(widgets::clBtnHighlight);
    const Fl_Color top_left = bevel_ == bvLowered ? shadow : highlight;
    const Fl_Color bottom_right = bevel_ == bvLowered ? highlight : shadow;
    int left = x();
    int top = y();
    int right = x() + w() - 1;
    int bottom = y() + h() - 1;
    for (int ring = 0; ring < bevel_width_ && left < right && top < bottom;
         ++ring) {
      fl_color(top_left);
      fl_yxline(left, top, bottom);
      fl_xyline(left, top, right - 1);
      fl_color(bottom_right);
      fl_yxline(right, top, bottom);
      fl_xyline(left, bottom, right);
      ++left;
      ++top;
      --right;
      --bottom;
    }
  }
  draw_children();
}

FltkIndicatorBox::FltkIndicatorBox(widgets::TWaitingGradient& gradient, int x,
                                   int y)
    : Fl_Widget(x, y, gradient.Width(), gradient.Height()),
      gradient_(gradient) {}

void FltkIndicatorBox::draw() {
  if (!gradient_.Visible() || w() <= 0 || h() <= 0) {
    fl_rectf(x(), y(), w(), h(), parent()->color());
    return;
  }
  canvas_.Resize(w(), h());
  gradient_.Paint(canvas_);
  fl_draw_image(canvas_.Data(), x(), y(), w(), h(), 3);
}

FltkMainWindow::FltkMainWindow(TFormMain& form, std::function<void()> on_close)
    : Fl_Double_Window(form.Width, form.Height, form.Caption.c_str()),
      form_(form),
      on_close_(std::move(on_close)) {
  color(FltkColor(form.Color));
  size_range(form.Width, form.Height, form.Width, form.Height);
  callback(OnCloseButton, this);

  // Aligned to the top, the label spans the window's width.
  const TLabel& label = form.LabelWait;
  label_ = new Fl_Box(0, 0, w(), label.Bounds.Height);
  label_->box(FL_NO_BOX);
  label_->label(label.Caption.c_str());
  label_->labelfont(FltkFont(label.Font));
  label_->labelsize(FltkFontSize(label.Font));
  label_->labelcolor(FltkColor(label.Font.Color));
  Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
  if (label.Layout == tlBottom) align |= FL_ALIGN_BOTTOM;
  if (label.Layout == tlTop) align |= FL_ALIGN_TOP;
  if (label.Alignment == taLeftJustify) align |= FL_ALIGN_LEFT;
  if (label.Alignment == taRightJustify) align |= FL_ALIGN_RIGHT;
  label_->align(align);

  const TPanel& panel = form.PanelWaiting;
  panel_ = new FltkBevelPanel(panel, panel.Bounds.Left, panel.Bounds.Top);
  widgets::TWaitingGradient& gradient = form.WaitingGradient;
  FltkIndicatorBox* indicator =
      new FltkIndicatorBox(gradient, panel.Bounds.Left + gradient.Left(),
                           panel.Bounds.Top + gradient.Top());
  panel_->end();
  end();

  gradient.OnInvalidate = [indicator] { indicator->redraw(); };

  for (int size : {16, 32, 48}) {
    // An image refers to its pixels; moving the vector keeps its buffer.
    icon_pixels_.push_back(IconPixels(size));
    icons_.push_back(std::make_unique<Fl_RGB_Image>(icon_pixels_.back().data(),
                                                    size, size, 4));
  }
  std::array<const Fl_RGB_Image*, 3> icon_list = {
      icons_[0].get(), icons_[1].get(), icons_[2].get()};
  icons(icon_list.data(), static_cast<int>(icon_list.size()));
}

FltkMainWindow::~FltkMainWindow() {
  form_.WaitingGradient.OnInvalidate = nullptr;
}

void FltkMainWindow::ShowCentred() {
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  position(sx + (sw - w()) / 2, sy + (sh - h()) / 2);
  show();
  SetCloseButtonOnly(*this);
}

void FltkMainWindow::RepaintPanel() {
  panel_->redraw();
  Fl::flush();
}

void FltkMainWindow::OnCloseButton(Fl_Widget* /*widget*/, void* self) {
  // FLTK closes a window on Escape as well; this window has only its close
  // button.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  auto* window = static_cast<FltkMainWindow*>(self);
  if (window->on_close_) window->on_close_();
}

}  // namespace tessaly::app
