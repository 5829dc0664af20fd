#pragma once

#include <cstdint>
#include <optional>

#include "graphics/DeviceContext.h"
#include "graphics/Surface.h"

// A bitmap of the program's resources, decoded once and copied from on every
// draw. A bitmap that failed to load is 0 x 0 and draws nothing.
class ResourceBitmap {
 public:
  ResourceBitmap() = default;
  ResourceBitmap(const ResourceBitmap&) = delete;
  ResourceBitmap& operator=(const ResourceBitmap&) = delete;

  bool Load(int number);
  // Copies the whole bitmap to (x, y); returns (x, y, x + width, y + height).
  Rect Draw(DeviceContext& dc, int x, int y) const;
  void Release();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Number() const { return number_; }

 private:
  std::optional<Surface> bitmap_;
  int width_ = 0;
  int height_ = 0;
  int number_ = 0;
};
