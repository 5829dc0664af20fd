#include "FrameCollector.h"

bool FrameCollector::Push(uint8_t byte) {
  if (byte == frame::kStart) {
    bytes_[0] = byte;
    size_ = 1;
    inFrame_ = true;
    return false;
  }
  if (!inFrame_) return false;
  if (size_ < bytes_.size() - 1) {
    bytes_[size_++] = byte;
    if (byte != frame::kEnd) return false;
  }
  inFrame_ = false;
  return true;
}
