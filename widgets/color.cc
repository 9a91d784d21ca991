#include "widgets/color.h"

#include <array>
#include <cstdio>

namespace tessaly::widgets {

namespace {

// Windows standard colour scheme, indexed by COLOR_* number (0x00BBGGRR).
constexpr std::array<TColor, 25> kStandardScheme = {
    ColorFromRgb(192, 192, 192),  // 0 scroll bar
    ColorFromRgb(0, 128, 128),    // 1 desktop
    ColorFromRgb(0, 0, 128),      // 2 active caption
    ColorFromRgb(128, 128, 128),  // 3 inactive caption
    ColorFromRgb(192, 192, 192),  // 4 menu
    ColorFromRgb(255, 255, 255),  // 5 window
    ColorFromRgb(0, 0, 0),        // 6 window frame
    ColorFromRgb(0, 0, 0),        // 7 menu text
    ColorFromRgb(0, 0, 0),        // 8 window text
    ColorFromRgb(255, 255, 255),  // 9 caption text
    ColorFromRgb(192, 192, 192),  // 10 active border
    ColorFromRgb(192, 192, 192),  // 11 inactive border
    ColorFromRgb(128, 128, 128),  // 12 application workspace
    ColorFromRgb(0, 0, 128),      // 13 highlight
    ColorFromRgb(255, 255, 255),  // 14 highlight text
    ColorFromRgb(192, 192, 192),  // 15 button face
    ColorFromRgb(128, 128, 128),  // 16 button shadow
    ColorFromRgb(128, 128, 128),  // 17 grey text
    ColorFromRgb(0, 0, 0),        // 18 button text
    ColorFromRgb(192, 192, 192),  // 19 inactive caption text
    ColorFromRgb(255, 255, 255),  // 20 button highlight
    ColorFromRgb(0, 0, 0),        // 21 3-D dark shadow
    ColorFromRgb(192, 192, 192),  // 22 3-D light
    ColorFromRgb(0, 0, 0),        // 23 tooltip text
    ColorFromRgb(255, 255, 225),  // 24 tooltip background
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const Rgb& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", rgb.r, rgb.g, rgb.b);
  return out << text;
}

TColor ColorToRGB(TColor color) {
  if (color < 0) {
    const unsigned index = static_cast<uint32_t>(color) & 0xFFu;
    return index < kStandardScheme.size() ? kStandardScheme[index] : clBlack;
  }
  return color & 0xFFFFFF;
}

Rgb ToRgb(TColor color) {
  const TColor plain = ColorToRGB(color);
  return Rgb{static_cast<uint8_t>(plain & 0xFF),
             static_cast<uint8_t>((plain >> 8) & 0xFF),
             static_cast<uint8_t>((plain >> 16) & 0xFF)};
}

}  // namespace tessaly::widgets
