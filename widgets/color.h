// Colours as the widget layer sees them. A TColor is either a plain colour,
// 0x00BBGGRR (red in the low byte, as the Windows class library stores it),
// or a system colour: clSystemColor | index, where index is a Windows
// COLOR_* number. System colours stand for "whatever the desktop theme
// uses"; ColorToRGB turns them into plain colours with the Windows
// standard-scheme values, which is what a fresh installation shows.
#ifndef TESSALY_WIDGETS_COLOR_H_
#define TESSALY_WIDGETS_COLOR_H_

#include <cstdint>
#include <ostream>

namespace tessaly::widgets {

using TColor = int32_t;

// Marks a system colour; the low byte holds the COLOR_* index.
inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNavy = 0x800000;

inline constexpr TColor clActiveCaption =
    clSystemColor | 2;                                 // COLOR_ACTIVECAPTION
inline constexpr TColor clWindow = clSystemColor | 5;  // COLOR_WINDOW
inline constexpr TColor clWindowText = clSystemColor | 8;  // COLOR_WINDOWTEXT
inline constexpr TColor clBtnFace = clSystemColor | 15;    // COLOR_BTNFACE
inline constexpr TColor clBtnShadow = clSystemColor | 16;  // COLOR_BTNSHADOW
inline constexpr TColor clBtnText = clSystemColor | 18;    // COLOR_BTNTEXT
inline constexpr TColor clBtnHighlight =
    clSystemColor | 20;  // COLOR_BTNHIGHLIGHT

// One pixel's channels.
struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Prints "#RRGGBB"; for test failure messages.
std::ostream& operator<<(std::ostream& out, const Rgb& rgb);

// A plain TColor from its channels.
constexpr TColor ColorFromRgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}

// The plain colour (0x00BBGGRR) that `color` stands for. A system colour maps
// to its Windows standard-scheme value (button face (192, 192, 192), button
// highlight white, active caption navy (0, 0, 128), window text black); an
// unknown system index maps to black. A plain colour comes back with its
// high byte cleared.
TColor ColorToRGB(TColor color);

// The channels of `color`, after ColorToRGB.
Rgb ToRgb(TColor color);

}  // namespace tessaly::widgets

#endif  // TESSALY_WIDGETS_COLOR_H_
