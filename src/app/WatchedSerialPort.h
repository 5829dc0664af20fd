#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "system/SerialPort.h"

// The link's serial port, noting when the link last wrote a CAN frame through
// it: the node query's reply window runs from its last request on the line,
// which a lost Ack may hold back in the link for a while.
class WatchedSerialPort final : public SerialPort {
 public:
  explicit WatchedSerialPort(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

  bool Open(const char* name, uint32_t baud) override { return port_->Open(name, baud); }
  int Read(uint8_t* buffer, size_t capacity) override { return port_->Read(buffer, capacity); }
  bool Write(const uint8_t* bytes, size_t count) override;
  void Close() override { port_->Close(); }
  void Wake() override { port_->Wake(); }

  // Tick count of the last CanFrame written, 0 before the first.
  uint32_t LastCanFrameWritten() const { return lastCanFrame_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<SerialPort> port_;
  std::atomic<uint32_t> lastCanFrame_{0};
};
