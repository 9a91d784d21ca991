// Shows the collector's success box for 150 volumes in the FLTK interface
// and, once it is on the screen, reports where its window, its scrolling
// area and its OK button are (root coordinates), dumps the whole screen
// with xwd into OUT and presses OK. Exits 0 when the box answered OK.
//
// Usage: fltk_long_box OUT.xwd      (run under an X server, e.g. xvfb-run)
#include <cstdio>
#include <cstdlib>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "app/ui/fltk/fltk_message_box.h"

namespace {

std::string g_shot;

void Report(const char* what, int x, int y, int w, int h) {
  std::printf("%s %d %d %d %d\n", what, x, y, w, h);
}

void Shoot(void*) {
  // Wait until the box is mapped and FLTK has drawn it (it draws a window
  // only after the server's first Expose event, and then clears its
  // damage), so that the screenshot shows it whatever the load.
  Fl_Window* window = Fl::first_window();
  XWindowAttributes attributes{};
  if (window == nullptr || !window->shown() || window->damage() != 0 ||
      XGetWindowAttributes(fl_display, fl_xid(window), &attributes) == 0 ||
      attributes.map_state != IsViewable) {
    Fl::repeat_timeout(0.1, Shoot);
    return;
  }
  Fl::flush();
  XSync(fl_display, False);
  Report("window", window->x(), window->y(), window->w(), window->h());
  Fl_Button* ok = nullptr;
  for (int i = 0; i < window->children(); ++i) {
    Fl_Widget* child = window->child(i);
    if (auto* scroll = dynamic_cast<Fl_Scroll*>(child)) {
      Report("scroll", window->x() + scroll->x(), window->y() + scroll->y(),
             scroll->w(), scroll->h());
      if (scroll->children() > 2) {
        std::printf("content height %d\n", scroll->child(0)->h());
      }
    }
    auto* button = dynamic_cast<Fl_Button*>(child);
    if (button != nullptr && button->label() != nullptr &&
        std::string(button->label()) == "OK") {
      ok = button;
    }
  }
  if (ok != nullptr) {
    Report("button", window->x() + ok->x(), window->y() + ok->y(), ok->w(),
           ok->h());
  }
  std::fflush(stdout);
  const std::string command = "xwd -root -silent -out '" + g_shot + "'";
  if (std::system(command.c_str()) != 0) std::printf("xwd failed\n");
  if (ok != nullptr) ok->do_callback();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fltk_long_box OUT.xwd\n");
    return 2;
  }
  g_shot = argv[1];
  // The collector's success message (ShowResult) for 150 volumes.
  const std::string archive = "/home/user/Tessaly/Orvane.zip";
  const std::string indent(8, ' ');
  std::string text =
      "Tessaly data has been zipped into: \r\n\r\n" + indent + archive + "\r\n";
  for (int i = 1; i <= 149; ++i) {
    char extension[8];
    std::snprintf(extension, sizeof(extension), ".z%02d", i);
    text += indent + archive.substr(0, archive.size() - 4) + extension + "\r\n";
  }
  text += "\r\nPlease send as attachments to separate emails.";

  Fl::add_timeout(0.5, Shoot);
  const auto result = tessaly::app::ShowFltkMessageBox(
      tessaly::engine::DialogKind::kInformation, text,
      tessaly::engine::kButtonOk, /*auto_answer_ms=*/30000);
  std::printf("result %d\n", static_cast<int>(result));
  return result == tessaly::engine::mrOk ? 0 : 1;
}
