#include "link/ReceiveRing.h"

void ReceiveRing::Collect(uint8_t byte) {
  const uint32_t index = write_.load(std::memory_order_relaxed);
  uint32_t& length = lengths_[index];
  if (byte == frame::kStart) {  // restarts the entry, whatever it held
    entries_[index][0] = byte;
    length = 1;
    inFrame_ = true;
    return;
  }
  if (!inFrame_) return;
  if (length < kCollectLimit) {
    entries_[index][length++] = byte;
    if (byte != frame::kEnd) return;
  }
  Complete();  // an end marker, or a frame cut at kCollectLimit bytes
}

bool ReceiveRing::Empty() const {
  return read_.load(std::memory_order_relaxed) == write_.load(std::memory_order_acquire);
}

void ReceiveRing::Pop() {
  const uint32_t index = read_.load(std::memory_order_relaxed);
  lengths_[index] = 0;
  read_.store(Next(index), std::memory_order_release);
  handled_.Set();
}

void ReceiveRing::Complete() {
  inFrame_ = false;
  const uint32_t index = write_.load(std::memory_order_relaxed);
  if (Next(index) == read_.load(std::memory_order_acquire)) {
    lengths_[index] = 0;
    return;
  }
  write_.store(Next(index), std::memory_order_release);
  handled_.Reset();
  completed_.Set();
  handled_.Wait(kHandOffMs);
}
