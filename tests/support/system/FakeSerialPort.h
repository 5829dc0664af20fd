#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "system/SerialPort.h"

// A serial port played by the test: Feed queues bytes for the host to read
// (each call is one read's worth), every write is recorded, and onWrite lets
// the test answer as the gateway would, on the writing thread. Unplug makes
// the open port fail and refuses Open until Plug.
class FakeSerialPort : public SerialPort {
 public:
  using Bytes = std::vector<uint8_t>;

  bool Open(const char* name, uint32_t baud) override;
  int Read(uint8_t* buffer, size_t capacity) override;
  bool Write(const uint8_t* bytes, size_t count) override;
  void Close() override;
  void Wake() override;
  // As a tty whose device went away says it.
  std::string ErrorText() const override { return "Input/output error"; }

  void Feed(Bytes bytes);
  void Unplug();
  void Plug();
  // Waits (real time) until the host has written count frames; false on time-out.
  bool WaitForWrites(size_t count, int timeoutMs = 2000) const;
  std::vector<Bytes> Written() const;

  std::function<void(const Bytes&)> onWrite;

 private:
  // Changes the state under the lock, then wakes whoever waits on it.
  template <typename F>
  void Change(F change) {
    {
      std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Bytes> incoming_;
  std::vector<Bytes> written_;
  bool plugged_ = true;
  bool opened_ = false;
  bool woken_ = false;
};
