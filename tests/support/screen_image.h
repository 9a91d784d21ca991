// Screenshots in tests: an RGB image, read from an X window dump (xwd) and
// kept as a PNG file for a person to look at.
#ifndef TESSALY_TESTS_SUPPORT_SCREEN_IMAGE_H_
#define TESSALY_TESTS_SUPPORT_SCREEN_IMAGE_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tessaly::test {

struct Pixel {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;

  friend bool operator==(const Pixel&, const Pixel&) = default;
};

// Prints "#RRGGBB"; for test failure messages.
std::ostream& operator<<(std::ostream& out, const Pixel& pixel);

struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<Pixel> pixels;  // row by row from the top

  Pixel At(int x, int y) const {
    return pixels[static_cast<size_t>(y * width + x)];
  }
};

// Reads an XWD file (X11 XWDFile.h layout: 25 big-endian 32-bit header
// fields, the window name, the colour map, then the pixels) in ZPixmap
// format with 24 or 32 bits per true-colour pixel. False with `error` set
// otherwise.
bool ReadXwd(const std::string& path, ScreenImage& image, std::string& error);

// Writes `image` as an 8-bit RGB PNG (RFC 2083).
void WritePng(const ScreenImage& image, const std::string& path);

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_SCREEN_IMAGE_H_
