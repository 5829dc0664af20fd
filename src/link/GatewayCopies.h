#pragma once

#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

// Tells the gateway's copies after our Naks from new packets (receive thread
// only). Our Nak makes the gateway write its latest frame again, at once.
// When that is the spoiled one, the copy is its first whole arrival and
// counts. When frames followed the spoiled one, the copy repeats the last of
// them, which came just before it: that is a Data packet equal to the one
// before, with no CAN frame of ours written in between, within the Ack wait
// of the Nak. A node answers once per request, so an answer after our next
// request is new, however alike it looks.
class GatewayCopies {
 public:
  static constexpr uint32_t kMaxDue = 50;

  void NakWritten(uint32_t now);
  // Every packet with a valid checksum, in the order of arrival, with the
  // count of CAN frames the console had written when it came.
  bool IsCopy(const uint8_t* packet, size_t length, uint32_t canFramesWritten, uint32_t now);

 private:
  uint8_t previous_[frame::kRingEntry] = {};
  size_t previousLength_ = 0;
  uint32_t writtenBeforePrevious_ = 0;
  uint32_t copiesDue_ = 0;
  uint32_t nakTime_ = 0;
};
