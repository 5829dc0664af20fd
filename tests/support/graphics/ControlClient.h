#pragma once

#include <optional>
#include <string>

#include "graphics/Surface.h"

// Drives a program through its LUMEN_CONTROL FIFO, as scripts do: each
// command opens the FIFO, writes one line and closes it again.
class ControlClient {
 public:
  explicit ControlClient(std::string fifo) : fifo_(std::move(fifo)) {}

  // Sends one line (the line end is added); waits up to timeoutMs for the
  // program to have the FIFO open.
  bool Send(const std::string& line, int timeoutMs = 5000) const;
  bool Touch(int x, int y) const;
  // Asks for a screenshot at pngPath and reads its pixels back once the
  // program has written it; none if that does not happen within timeoutMs.
  std::optional<Surface> Screenshot(const std::string& pngPath, int timeoutMs = 5000) const;
  // Any PNG the library understands, as 0x00BBGGRR pixels; none when broken.
  static std::optional<Surface> ReadPng(const std::string& path);

 private:
  std::string fifo_;
};
