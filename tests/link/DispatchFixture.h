#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/CanDispatch.h"
#include "tests/support/FakeSerialPort.h"

using Bytes = std::vector<uint8_t>;

// Line bytes of a packet (checksum appended) as the gateway would send it.
Bytes GatewayLine(Bytes packet);
Bytes DataLine(uint8_t channel, uint16_t id, const Bytes& payload);
Bytes ControlLine(uint8_t channel, uint8_t kind);
// A received CanFrame: identifier word and eight data bytes.
Bytes CanFrameLine(uint8_t channel, uint32_t word, const Bytes& data);
// A host frame in words: "open 1", "ack 1", "nak", "info?", "frame 1 38EF0110 BF".
std::string Describe(const Bytes& line);
std::vector<std::string> Describe(const std::vector<Bytes>& lines);
// Waits (real time) until the condition holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000);

// A CanDispatch on a fake port whose gateway acknowledges OpenChannel and
// CanFrame packets as configured. Received CAN frames land in Delivered().
class DispatchTest : public testing::Test {
 protected:
  DispatchTest();
  ~DispatchTest() override;

  // Opens the link and creates channel 1 with the recording callback; waits
  // until the gateway acknowledged it when it is set to.
  void OpenWithChannel();
  bool Queue(uint32_t identifier, bool extended, Bytes data, uint8_t channel = 1);
  // Waits until the host wrote count frames and returns what it wrote after
  // the first skip of them.
  std::vector<std::string> WrittenAfter(size_t skip, size_t count);
  // Feeds a sentinel CAN frame on channel 1 and waits until it was handed
  // on: everything fed before has been handled, the sentinel's Ack is the
  // last frame written.
  void Settle();
  std::vector<CanMessage> Delivered() const;

  static void OnFrame(int value);

  FakeSerialPort* port = nullptr;
  std::unique_ptr<CanDispatch> link;
  bool acksOpenChannel = true;
  bool acksCanFrames = true;
  std::function<void(const Bytes&)> onFrameWritten;  // after the gateway's own answer
  std::function<void(const CanMessage&)> onDelivery;  // on the receive thread, inside the callback

 private:
  void PlayGateway(const Bytes& line);

  static constexpr uint32_t kSentinel = 0x1FFFFFFF;
  static DispatchTest* current_;
  std::atomic<int> settled_{0};
  mutable std::mutex mutex_;
  std::vector<CanMessage> delivered_;
};
