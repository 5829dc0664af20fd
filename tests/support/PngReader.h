#pragma once

#include <optional>
#include <string>

#include "platform/Surface.h"

// Reads a screenshot back into pixels for comparison.
class PngReader {
 public:
  // Any PNG the library understands, as 0x00BBGGRR pixels; none when the file
  // is missing or broken.
  static std::optional<Surface> Read(const std::string& path);
};
