#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Colours are 0x00BBGGRR: red in the lowest byte.
constexpr uint32_t RGB(uint32_t red, uint32_t green, uint32_t blue) {
  return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
constexpr uint32_t RedOf(uint32_t colour) { return colour & 0xFF; }
constexpr uint32_t GreenOf(uint32_t colour) { return (colour >> 8) & 0xFF; }
constexpr uint32_t BlueOf(uint32_t colour) { return (colour >> 16) & 0xFF; }

// A block of 32-bit pixels, row after row from the top.
class Surface {
 public:
  Surface(int width, int height, uint32_t fill = RGB(255, 255, 255));

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Pixel reads outside the surface give 0; writes there are dropped.
  uint32_t Pixel(int x, int y) const { return Contains(x, y) ? pixels_[Index(x, y)] : 0; }
  void SetPixel(int x, int y, uint32_t colour) {
    if (Contains(x, y)) pixels_[Index(x, y)] = colour;
  }
  uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
};
