#include "FakeSerialPort.h"

#include <algorithm>
#include <chrono>

bool FakeSerialPort::Open(const char* name, uint32_t baud) {
  std::lock_guard lock(mutex_);
  name_ = name;
  baud_ = baud;
  opened_ = openSucceeds;
  return opened_;
}

int FakeSerialPort::Read(uint8_t* buffer, size_t capacity) {
  std::unique_lock lock(mutex_);
  ++reads_;
  if (incoming_.empty()) {
    idle_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !incoming_.empty() || failing_; });
  }
  if (failing_ || !opened_) return -1;
  if (incoming_.empty()) return 0;
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

void FakeSerialPort::Feed(Bytes bytes) {
  {
    std::lock_guard lock(mutex_);
    incoming_.push_back(std::move(bytes));
    idle_ = false;
  }
  changed_.notify_all();
}

void FakeSerialPort::FailReads() {
  {
    std::lock_guard lock(mutex_);
    failing_ = true;
  }
  changed_.notify_all();
}

bool FakeSerialPort::WaitForWrites(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return written_.size() >= count; });
}

bool FakeSerialPort::WaitUntilDrained(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return incoming_.empty() && idle_; });
}

std::vector<FakeSerialPort::Bytes> FakeSerialPort::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

size_t FakeSerialPort::Reads() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

std::string FakeSerialPort::OpenedName() const {
  std::lock_guard lock(mutex_);
  return name_;
}

uint32_t FakeSerialPort::OpenedBaud() const {
  std::lock_guard lock(mutex_);
  return baud_;
}
