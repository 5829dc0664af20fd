#pragma once

#include <sys/types.h>

#include <string>

#include "graphics/Surface.h"

// A private X server (Xvfb) on a free display number for the lifetime of the
// object, with one screen of the given size, 24-bit colour.
class XvfbServer {
 public:
  XvfbServer(int width, int height);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // False when Xvfb is not installed or did not come up.
  bool Running() const { return !name_.empty(); }
  // The display name, e.g. ":3".
  const std::string& Name() const { return name_; }
  // What the screen shows now, as 0x00BBGGRR pixels; 0 x 0 on failure.
  Surface Capture() const;

 private:
  pid_t pid_ = -1;
  int width_;
  int height_;
  std::string name_;
};
