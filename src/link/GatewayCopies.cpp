#include "link/GatewayCopies.h"

#include <algorithm>

namespace {

constexpr uint32_t kCopyWithinMs = 200;  // the gateway writes its copy at once

}  // namespace

void GatewayCopies::NakWritten(uint32_t now) {
  copiesDue_ = std::min(copiesDue_ + 1, kMaxDue);
  nakTime_ = now;
}

bool GatewayCopies::IsCopy(const uint8_t* packet, size_t length, uint32_t canFramesWritten, uint32_t now) {
  if (now - nakTime_ > kCopyWithinMs) copiesDue_ = 0;
  const bool copy = copiesDue_ > 0 && packet[frame::kKindAt] == frame::kData &&
                    canFramesWritten == writtenBeforePrevious_ &&
                    std::equal(packet, packet + length, previous_, previous_ + previousLength_);
  if (copy) --copiesDue_;
  std::copy_n(packet, length, previous_);
  previousLength_ = length;
  writtenBeforePrevious_ = canFramesWritten;
  return copy;
}
