#include "FakeSerialPort.h"

#include <algorithm>
#include <chrono>

bool FakeSerialPort::Open(const char*, uint32_t) {
  std::lock_guard lock(mutex_);
  opened_ = plugged_;
  return opened_;
}

int FakeSerialPort::Read(uint8_t* buffer, size_t capacity) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !incoming_.empty() || !opened_ || woken_; });
  if (!opened_) return -1;
  if (woken_ && incoming_.empty()) {
    woken_ = false;
    return 0;
  }
  Bytes& chunk = incoming_.front();
  const size_t count = std::min(capacity, chunk.size());
  std::copy_n(chunk.begin(), count, buffer);
  chunk.erase(chunk.begin(), chunk.begin() + static_cast<long>(count));
  if (chunk.empty()) incoming_.pop_front();
  return static_cast<int>(count);
}

bool FakeSerialPort::Write(const uint8_t* bytes, size_t count) {
  Bytes frame(bytes, bytes + count);
  {
    std::lock_guard lock(mutex_);
    if (!opened_) return false;
    written_.push_back(frame);
  }
  changed_.notify_all();
  if (onWrite) onWrite(frame);
  return true;
}

void FakeSerialPort::Close() {
  std::lock_guard lock(mutex_);
  opened_ = false;
}

void FakeSerialPort::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

void FakeSerialPort::Feed(Bytes bytes) {
  {
    std::lock_guard lock(mutex_);
    incoming_.push_back(std::move(bytes));
  }
  changed_.notify_all();
}

void FakeSerialPort::Unplug() {
  {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    opened_ = false;
    incoming_.clear();
  }
  changed_.notify_all();
}

void FakeSerialPort::Plug() {
  std::lock_guard lock(mutex_);
  plugged_ = true;
}

bool FakeSerialPort::WaitForWrites(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return written_.size() >= count; });
}

std::vector<FakeSerialPort::Bytes> FakeSerialPort::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}
