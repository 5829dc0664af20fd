#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"
#include "system/Event.h"

// The frames the reader thread collects from the line, start marker
// included, until the receive thread has handled them. Bytes before a start
// marker are dropped, a start marker restarts the entry, and a frame is cut
// at kCollectLimit bytes (it then fails its checksum). When the ring is full
// the newest frame goes and the waiting ones stay whole.
class ReceiveRing {
 public:
  static constexpr uint32_t kEntries = 50;
  static constexpr uint32_t kCollectLimit = 249;
  static constexpr uint32_t kHandOffMs = 5;  // the reader's wait for the receive thread per frame

  // completed is signalled for every frame collected; handled for every frame
  // popped, which the reader waits for up to kHandOffMs.
  ReceiveRing(Event& completed, Event& handled) : completed_(completed), handled_(handled) {}

  // ---- The reader thread ---------------------------------------------------
  void Collect(uint8_t byte);
  // The line went: a frame half collected is dropped.
  void DropPartial() { inFrame_ = false; }

  // ---- The receive thread --------------------------------------------------
  bool Empty() const;
  const uint8_t* Front() const { return entries_[read_.load(std::memory_order_relaxed)]; }
  size_t FrontLength() const { return lengths_[read_.load(std::memory_order_relaxed)]; }
  void Pop();

 private:
  static uint32_t Next(uint32_t index) { return (index + 1) % kEntries; }
  void Complete();

  Event& completed_;
  Event& handled_;
  uint8_t entries_[kEntries][frame::kRingEntry] = {};
  uint32_t lengths_[kEntries] = {};
  std::atomic<uint32_t> write_{0};
  std::atomic<uint32_t> read_{0};
  bool inFrame_ = false;  // reader thread only
};
