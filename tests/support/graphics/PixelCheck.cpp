#include "PixelCheck.h"

#include <algorithm>

int DifferingPixels(const Surface& shot, const Surface& expected, const Rect& area) {
  int differing = 0;
  const int right = std::min({area.right, shot.Width(), expected.Width()});
  const int bottom = std::min({area.bottom, shot.Height(), expected.Height()});
  for (int y = std::max(area.top, 0); y < bottom; ++y)
    for (int x = std::max(area.left, 0); x < right; ++x)
      if (shot.Pixel(x, y) != expected.Pixel(x, y)) ++differing;
  return differing;
}

bool ShowsButtonAt(const Surface& shot, int x, int y) {
  int dark = 0;
  for (int row = y; row < y + 64; ++row)
    for (int column = x; column < x + 64; ++column) {
      uint32_t pixel = shot.Pixel(column, row);
      if (RedOf(pixel) + GreenOf(pixel) + BlueOf(pixel) < 150) ++dark;
    }
  return dark > 40;
}
