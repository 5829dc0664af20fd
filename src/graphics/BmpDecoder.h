#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "graphics/Surface.h"

// Decodes uncompressed device-independent bitmaps (1, 4, 8, 24 and 32 bits
// per pixel, bottom-up or top-down, with the 12-byte core or a 40-byte or
// longer info header). Every read is checked against the buffer: a short,
// oversized or otherwise corrupt file gives nothing, never a read past its
// end.
class BmpDecoder {
 public:
  // A whole .bmp file (file header "BM" first).
  static std::optional<Surface> DecodeFile(const unsigned char* data, size_t size);
  // The first image of an .ico file; each pixel's top byte tells whether the
  // icon's mask leaves it opaque (0xFF) or transparent (0).
  static std::optional<Surface> DecodeIcon(const unsigned char* data, size_t size);

 private:
  struct Header {
    int width = 0;
    int height = 0;  // rows of colour pixels
    bool topDown = false;
    int bits = 0;
    size_t paletteOffset = 0;
    size_t paletteCount = 0;
    size_t paletteEntry = 4;  // bytes per palette entry
    size_t pixelOffset = 0;
  };

  BmpDecoder(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  bool Read16(size_t at, uint32_t& value) const;
  bool Read32(size_t at, uint32_t& value) const;
  bool ReadHeader(size_t at, bool icon, Header& header) const;
  bool Fits(size_t at, size_t length) const { return at <= size_ && length <= size_ - at; }
  static size_t Stride(int width, int bits);
  std::optional<Surface> DecodePixels(const Header& header) const;
  uint32_t PixelAt(const Header& header, const unsigned char* row, int x) const;
  void ApplyMask(const Header& header, Surface& image) const;

  const unsigned char* data_;
  size_t size_;
};
