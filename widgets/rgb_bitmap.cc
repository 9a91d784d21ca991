#include "widgets/rgb_bitmap.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tessaly::widgets {

namespace {

constexpr Rgb kWhite{255, 255, 255};

void Store(uint8_t* p, Rgb color) {
  p[0] = color.r;
  p[1] = color.g;
  p[2] = color.b;
}

// Source coordinate for target position `offset` of a span of `target_size`
// pixels mapped onto `source_size` pixels, sampling each target pixel's
// centre. 64-bit so that large spans cannot overflow.
int MapCoordinate(int offset, int target_size, int source_size) {
  if (target_size == source_size) return offset;
  const int64_t scaled = (2 * static_cast<int64_t>(offset) + 1) * source_size /
                         (2 * int64_t{target_size});
  return static_cast<int>(scaled);
}

}  // namespace

RgbBitmap::RgbBitmap(int width, int height, Rgb fill) {
  Resize(width, height);
  FillRect(0, 0, width_, height_, fill);
}

void RgbBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  RgbBitmap resized;
  resized.width_ = width;
  resized.height_ = height;
  resized.pixels_.resize(static_cast<size_t>(width) *
                         static_cast<size_t>(height) * 3);
  resized.FillRect(0, 0, width, height, kWhite);
  const int keep_width = std::min(width, width_);
  const int keep_height = std::min(height, height_);
  for (int y = 0; y < keep_height; ++y) {
    std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(Offset(0, y)),
                static_cast<size_t>(keep_width) * 3,
                resized.pixels_.begin() +
                    static_cast<std::ptrdiff_t>(resized.Offset(0, y)));
  }
  *this = std::move(resized);
}

Rgb RgbBitmap::Pixel(int x, int y) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  const uint8_t* p = pixels_.data() + Offset(x, y);
  return Rgb{p[0], p[1], p[2]};
}

void RgbBitmap::FillRect(int left, int top, int right, int bottom, Rgb color) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x)
      Store(pixels_.data() + Offset(x, y), color);
  }
}

void RgbBitmap::CopyRect(const Rect& source, RgbBitmap& canvas,
                         const Rect& target) const {
  assert(&canvas != this);
  if (source.Empty() || target.Empty()) return;
  const int x_begin = std::max(target.left, 0);
  const int x_end = std::min(target.right, canvas.width_);
  const int y_begin = std::max(target.top, 0);
  const int y_end = std::min(target.bottom, canvas.height_);
  for (int y = y_begin; y < y_end; ++y) {
    const int sy = source.top + MapCoordinate(y - target.top, target.Height(),
                                              source.Height());
    if (sy < 0 || sy >= height_) continue;
    for (int x = x_begin; x < x_end; ++x) {
      const int sx =
          source.left +
          MapCoordinate(x - target.left, target.Width(), source.Width());
      if (sx < 0 || sx >= width_) continue;
      std::copy_n(pixels_.data() + Offset(sx, sy), 3,
                  canvas.pixels_.data() + canvas.Offset(x, y));
    }
  }
}

}  // namespace tessaly::widgets
