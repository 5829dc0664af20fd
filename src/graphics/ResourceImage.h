#pragma once

#include <optional>

#include "graphics/Surface.h"

// The pictures compiled into the program (res/), loaded by resource number.
class ResourceImage {
 public:
  // bitmapNNN.bmp; nothing when there is no such number or the file is bad.
  static std::optional<Surface> LoadBitmap(int number);
  // iconNNN.ico, with its mask in the pixels' top byte (see BmpDecoder).
  static std::optional<Surface> LoadIcon(int number);
};
