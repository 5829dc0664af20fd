#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

// Gathers one frame at a time from the serial byte stream, as the console's
// reader does: bytes outside a frame are noise, 0x7E starts a frame afresh,
// 0x7F ends it, and an endless frame is cut at 249 bytes (its checksum then
// fails).
class FrameCollector {
 public:
  // True when the byte completed a frame, which frame() then holds.
  bool Push(uint8_t byte);
  const uint8_t* frame() const { return bytes_.data(); }
  size_t size() const { return size_; }

 private:
  std::array<uint8_t, frame::kRingEntry> bytes_{};
  size_t size_ = 0;
  bool inFrame_ = false;
};
