#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "link/FrameCodec.h"
#include "system/Event.h"

// The CAN frames queued for the gateway, encoded straight into fixed entries,
// so that queueing allocates nothing. Callers of Push are exclusive among
// themselves; the send thread reads the head without the lock. One entry
// stays free, so that a full ring is told from an empty one.
class SendRing {
 public:
  static constexpr uint32_t kEntries = 50;
  static constexpr uint32_t kFullWaitMs = 500;  // how long a caller waits for a free entry

  // queued is signalled for every frame queued, and when a caller finds the
  // ring full: a sender parked on an unacknowledged channel looks again.
  explicit SendRing(Event& queued) : queued_(queued) {}

  // identifier is sent as given. False when the ring stayed full for kFullWaitMs.
  bool Push(uint8_t channel, uint32_t identifier, const uint8_t* data, uint8_t length);
  bool Empty() const;
  // The frame at the read index, while the ring is not empty.
  const uint8_t* Head() const { return entries_[read_.load(std::memory_order_acquire)]; }
  size_t HeadLength() const { return lengths_[read_.load(std::memory_order_acquire)]; }
  uint8_t HeadChannel() const { return Head()[1]; }  // the byte after the start marker
  // The head went, or was dropped: its entry may be filled again.
  void Pop();
  // A Reopen: back onto the frame popped last. Never onto an entry that never
  // held a frame, nor so far back that a full ring would look empty.
  void StepBack();

 private:
  static uint32_t Next(uint32_t index) { return (index + 1) % kEntries; }
  static uint32_t Previous(uint32_t index) { return (index + kEntries - 1) % kEntries; }
  bool HasSpace() const;

  Event& queued_;
  std::mutex lock_;
  std::condition_variable spaceFreed_;
  uint8_t entries_[kEntries][frame::kRingEntry] = {};
  uint32_t lengths_[kEntries] = {};  // 0: the entry never held a frame
  std::atomic<uint32_t> write_{0};
  std::atomic<uint32_t> read_{0};
};
