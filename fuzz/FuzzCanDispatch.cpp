// Any bytes from the gateway's side of the line, through the link's frame
// collector, decoder and reception path: nothing may crash, every frame the
// host writes in answer must be one it is allowed to write, and every CAN
// frame handed to the channel callback must be a sane one.
//
// One link serves every input (its threads cost too much to start per input):
// channel 1 with a callback and channel 2 without one, and one frame that the
// send thread wrote, so that a Nak or a Reopen in the input has something to
// bring back. After each input a numbered sentinel frame tells when the
// receive thread has handled everything before it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "link/CanDispatch.h"
#include "link/FrameCodec.h"
#include "FakeSerialPort.h"

namespace {

using Bytes = FakeSerialPort::Bytes;

constexpr uint32_t kSentinel = 0x1FFFFFFF;
constexpr uint32_t kQueuedIdentifier = 0x18EF0110;

CanDispatch* theLink = nullptr;
std::atomic<uint32_t> sentinelsSeen{0};

Bytes Line(size_t (*build)(uint8_t*)) {
  Bytes line(frame::kRingEntry);
  line.resize(build(line.data()));
  return line;
}

Bytes Line(size_t (*build)(uint8_t, uint8_t*), uint8_t channel) {
  Bytes line(frame::kRingEntry);
  line.resize(build(channel, line.data()));
  return line;
}

Bytes CanFrameLine(uint32_t word, const uint8_t (&data)[8]) {
  Bytes line(frame::kRingEntry);
  line.resize(frame::BuildCanFrame(1, word, data, 8, line.data()));
  return line;
}

// Everything the host may write: answers to the gateway and the one queued frame.
struct AllowedWrites {
  std::vector<Bytes> lines;
  bool Contains(const Bytes& line) const {
    for (const Bytes& allowed : lines)
      if (allowed == line) return true;
    return false;
  }
};
AllowedWrites allowed;

void OnWrite(const Bytes& line) {
  if (allowed.Contains(line)) return;
  std::fprintf(stderr, "the host wrote a frame it has no reason to write:");
  for (uint8_t byte : line) std::fprintf(stderr, " %02X", byte);
  std::fprintf(stderr, "\n");
  std::abort();
}

void OnFrame(int value) {
  if (value != 1) std::abort();
  CanMessage message;
  theLink->GetLastFrame(1, message);
  if (message.length > 8) std::abort();
  if (message.identifier == kSentinel) {
    sentinelsSeen = static_cast<uint32_t>(message.data[0] | message.data[1] << 8 | message.data[2] << 16 |
                                          static_cast<uint32_t>(message.data[3]) << 24);
  }
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

class Rig {
 public:
  Rig() {
    auto fake = std::make_unique<FakeSerialPort>();
    port_ = fake.get();
    link_ = std::make_unique<CanDispatch>(std::move(fake));
    theLink = link_.get();
    sentinelsSeen = 0;
    uint8_t data[8] = {0xBF};
    uint8_t queued[frame::kRingEntry];
    allowed.lines = {Line(frame::BuildAck, 1), Line(frame::BuildNak), Line(frame::BuildOpenChannel, 1),
                     Line(frame::BuildOpenChannel, 2),
                     Bytes(queued, queued + frame::BuildCanFrame(1, kQueuedIdentifier | frame::kStandardMarker,
                                                                 data, 1, queued))};
    port_->onWrite = OnWrite;
    link_->Open("COM1", 1500000);
    if (link_->CreateChannel(0, OnFrame) != 1 || link_->CreateChannel(0, nullptr) != 2) std::abort();
    port_->Feed(Line(frame::BuildAck, 1));  // the gateway opened channel 1
    if (!WaitFor([this] { return link_->Acknowledged(1); }, 2000)) std::abort();
    CanMessage message;
    message.identifier = kQueuedIdentifier;
    message.length = 1;
    message.data[0] = 0xBF;
    if (!link_->QueueCanFrame(1, message, message.data)) std::abort();
    if (!port_->WaitForWrites(3)) std::abort();  // two OpenChannels, then the frame
    port_->Feed(Line(frame::BuildAck, 1));
  }

  // Feeds the input, then sentinels until one is handed on: all before it was handled.
  void Run(const uint8_t* data, size_t size) {
    port_->Feed(Bytes(data, data + size));
    for (int tries = 0; tries < 10; ++tries) {
      const uint32_t number = ++sentinels_;
      const uint8_t counter[8] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24),
                                  0, 0, 0, 0};
      port_->Feed(CanFrameLine(kSentinel, counter));
      if (WaitFor([number] { return sentinelsSeen == number; }, 1000)) return;
    }
    std::fprintf(stderr, "the link stopped handling frames\n");
    std::abort();
  }

 private:
  FakeSerialPort* port_ = nullptr;
  std::unique_ptr<CanDispatch> link_;
  uint32_t sentinels_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A fresh link now and then: the fake port keeps every frame written.
  constexpr uint32_t kInputsPerLink = 10000;
  static std::unique_ptr<Rig> rig;
  static uint32_t inputs = 0;
  if (inputs++ % kInputsPerLink == 0) {
    rig.reset();
    rig = std::make_unique<Rig>();
  }
  rig->Run(data, size);
  return 0;
}
