// A small in-memory RGB image: the busy indicator draws its band into one and
// paints itself onto another, so that every pixel can be checked without a
// display. Pixels are stored row by row, three bytes each (red, green, blue),
// with no padding, which is the layout fl_draw_image(data, x, y, w, h, 3)
// takes.
#ifndef TESSALY_WIDGETS_RGB_BITMAP_H_
#define TESSALY_WIDGETS_RGB_BITMAP_H_

#include <cstdint>
#include <vector>

#include "widgets/color.h"

namespace tessaly::widgets {

// A rectangle with exclusive right and bottom edges; it may lie partly or
// wholly outside the bitmap it refers to, and is empty when right <= left or
// bottom <= top.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

class RgbBitmap {
 public:
  // An empty 0 × 0 bitmap.
  RgbBitmap() = default;
  // A width × height bitmap filled with `fill`. Negative sizes count as 0.
  RgbBitmap(int width, int height, Rgb fill = Rgb{255, 255, 255});

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Changes the size. Pixels inside both the old and the new size keep their
  // values; new pixels are white. Negative sizes count as 0.
  void Resize(int width, int height);

  // The pixel at (x, y).
  // REQUIRES: 0 <= x < Width(), 0 <= y < Height().
  Rgb Pixel(int x, int y) const;

  // Fills the rectangle [left, right) × [top, bottom), clipped to the
  // bitmap, with `color`. Nothing happens when the rectangle is empty or
  // lies outside.
  void FillRect(int left, int top, int right, int bottom, Rgb color);
  void FillRect(const Rect& rect, Rgb color) {
    FillRect(rect.left, rect.top, rect.right, rect.bottom, color);
  }

  // Copies the `source` rectangle of this bitmap onto the `target` rectangle
  // of `canvas`, stretching by nearest pixel when the two sizes differ.
  // Target pixels outside `canvas`, or whose source pixel lies outside this
  // bitmap, are left alone. `canvas` must not be this bitmap.
  void CopyRect(const Rect& source, RgbBitmap& canvas,
                const Rect& target) const;

  // Width() * Height() * 3 bytes, row-major, red first; null when empty.
  const uint8_t* Data() const {
    return pixels_.empty() ? nullptr : pixels_.data();
  }

 private:
  size_t Offset(int x, int y) const {
    return (static_cast<size_t>(y) * static_cast<size_t>(width_) +
            static_cast<size_t>(x)) *
           3;
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace tessaly::widgets

#endif  // TESSALY_WIDGETS_RGB_BITMAP_H_
