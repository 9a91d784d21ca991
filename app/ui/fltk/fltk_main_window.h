// The FLTK widgets of the collector's window, built from TFormMain's
// components: the label, the sunken panel and the busy indicator inside it.
// Also the small helpers the FLTK interface shares: colour conversion and
// the window-manager hints of a fixed dialog-like window.
#ifndef TESSALY_APP_UI_FLTK_FLTK_MAIN_WINDOW_H_
#define TESSALY_APP_UI_FLTK_FLTK_MAIN_WINDOW_H_

#include <functional>
#include <memory>
#include <vector>

#include <FL/Enumerations.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>

#include "app/collector/form_main.h"
#include "widgets/color.h"
#include "widgets/rgb_bitmap.h"

namespace tessaly::app {

// The FLTK colour of a TColor (system colours in the standard scheme).
Fl_Color FltkColor(widgets::TColor color);

// Asks the window manager for a window with a close button only (no
// minimise, maximise or resize). X11 only; call after show().
void SetCloseButtonOnly(Fl_Window& window);

// A panel with a 3-D bevel drawn as the desktop class library draws it: for
// a lowered bevel, each ring has its top and left edges in the shadow
// colour and its bottom and right edges (with the top-right and
// bottom-left corner pixels) in the highlight colour.
class FltkBevelPanel : public Fl_Group {
 public:
  FltkBevelPanel(const TPanel& panel, int x, int y);
  void draw() override;

 private:
  TBevelCut bevel_;
  int bevel_width_;
};

// Shows a TWaitingGradient: paints it into a canvas bitmap and copies that
// onto the window. While the indicator is invisible the panel's colour
// shows through.
class FltkIndicatorBox : public Fl_Widget {
 public:
  FltkIndicatorBox(widgets::TWaitingGradient& gradient, int x, int y);
  void draw() override;

 private:
  widgets::TWaitingGradient& gradient_;
  widgets::RgbBitmap canvas_;
};

class FltkMainWindow : public Fl_Double_Window {
 public:
  // `on_close` runs when the user presses the window's close button.
  FltkMainWindow(TFormMain& form, std::function<void()> on_close);
  ~FltkMainWindow() override;

  // Shows the window centred on the screen, fixed in size.
  void ShowCentred();
  void RepaintPanel();

 private:
  static void OnCloseButton(Fl_Widget* widget, void* self);

  TFormMain& form_;
  std::function<void()> on_close_;
  // Children are owned by the window, as FLTK groups own theirs.
  Fl_Box* label_ = nullptr;
  FltkBevelPanel* panel_ = nullptr;
  std::vector<std::vector<uchar>> icon_pixels_;
  std::vector<std::unique_ptr<Fl_RGB_Image>> icons_;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_UI_FLTK_FLTK_MAIN_WINDOW_H_
