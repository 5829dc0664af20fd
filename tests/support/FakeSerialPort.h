#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "system/SerialPort.h"

// A serial port played by the test: Feed queues bytes for the host to read
// (each call is one read's worth), every write is recorded, and onWrite lets
// the test answer as the gateway would, on the writing thread.
class FakeSerialPort : public SerialPort {
 public:
  using Bytes = std::vector<uint8_t>;

  bool Open(const char* name, uint32_t baud) override;
  int Read(uint8_t* buffer, size_t capacity) override;
  bool Write(const uint8_t* bytes, size_t count) override;

  void Feed(Bytes bytes);
  // From now on every read reports that the port failed.
  void FailReads();
  // Waits (real time) until the host has written count frames; false on time-out.
  bool WaitForWrites(size_t count, int timeoutMs = 2000) const;
  // Waits until the host has read and processed everything fed so far.
  bool WaitUntilDrained(int timeoutMs = 2000) const;
  std::vector<Bytes> Written() const;
  size_t Reads() const;
  std::string OpenedName() const;
  uint32_t OpenedBaud() const;

  // Set before the link opens the port.
  bool openSucceeds = true;
  std::function<void(const Bytes&)> onWrite;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Bytes> incoming_;
  std::vector<Bytes> written_;
  bool opened_ = false;
  bool failing_ = false;
  bool idle_ = true;  // a read found nothing to deliver since the last Feed
  size_t reads_ = 0;
  std::string name_;
  uint32_t baud_ = 0;
};
