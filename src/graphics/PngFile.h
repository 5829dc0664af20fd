#pragma once

#include <string>

#include "graphics/Surface.h"

// Screenshots as 8-bit RGB PNG files.
class PngFile {
 public:
  // Writes the surface to path through a temporary file renamed into place,
  // so that whoever waits for path never sees half a file. Failures are
  // reported on stderr and leave nothing behind.
  static bool Write(const std::string& path, const Surface& surface);
};
