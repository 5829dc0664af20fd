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
  const Bytes frame(bytes, bytes + count);
  bool opened = false;
  Change([&] {
    if ((opened = opened_)) written_.push_back(frame);
  });
  if (opened && onWrite) onWrite(frame);
  return opened;
}

void FakeSerialPort::Close() {
  std::lock_guard lock(mutex_);
  opened_ = false;
}

void FakeSerialPort::Wake() {
  Change([this] { woken_ = true; });
}

void FakeSerialPort::Feed(Bytes bytes) {
  Change([&] { incoming_.push_back(std::move(bytes)); });
}

void FakeSerialPort::Unplug() {
  Change([this] {
    plugged_ = opened_ = false;
    incoming_.clear();
  });
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
