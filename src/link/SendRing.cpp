#include "link/SendRing.h"

#include <chrono>

bool SendRing::Push(uint8_t channel, uint32_t identifier, const uint8_t* data, uint8_t length) {
  std::unique_lock lock(lock_);
  if (!HasSpace()) {
    queued_.Set();
    if (!spaceFreed_.wait_for(lock, std::chrono::milliseconds(kFullWaitMs), [this] { return HasSpace(); })) return false;
  }
  const uint32_t index = write_.load(std::memory_order_relaxed);
  lengths_[index] = static_cast<uint32_t>(frame::BuildCanFrame(channel, identifier, data, length, entries_[index]));
  write_.store(Next(index), std::memory_order_release);
  queued_.Set();
  return true;
}

bool SendRing::Empty() const {
  return read_.load(std::memory_order_acquire) == write_.load(std::memory_order_acquire);
}

void SendRing::Pop() {
  {
    std::lock_guard lock(lock_);
    read_.store(Next(read_.load(std::memory_order_relaxed)), std::memory_order_release);
  }
  spaceFreed_.notify_all();
}

void SendRing::StepBack() {
  std::lock_guard lock(lock_);
  const uint32_t back = Previous(read_.load(std::memory_order_relaxed));
  if (lengths_[back] == 0 || back == write_.load(std::memory_order_relaxed)) return;
  read_.store(back, std::memory_order_release);
}

bool SendRing::HasSpace() const {
  return Next(write_.load(std::memory_order_relaxed)) != read_.load(std::memory_order_acquire);
}
