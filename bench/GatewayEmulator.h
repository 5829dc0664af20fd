#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <vector>

#include "FrameCollector.h"
#include "GatewayConfig.h"
#include "Scheduler.h"
#include "VirtualBus.h"
#include "link/CanMessage.h"
#include "link/FrameCodec.h"

// The serial-to-CAN gateway as the console sees it on the line: it
// acknowledges the host's Data packets, opens channels, answers the info
// request, carries CanFrames between the line and the bus, writes its last
// frame again on the host's Nak, and misbehaves on purpose as configured.
// A frame it spoils is held, with everything after it, until the host's Nak
// asks for it: then comes its good copy, then the rest, as a gateway that
// waits for the host's verdict on each frame does.
class GatewayEmulator {
 public:
  using HostWriter = std::function<void(const uint8_t*, size_t)>;

  GatewayEmulator(const GatewayConfig& config, Scheduler& scheduler, VirtualBus& bus, HostWriter writer);

  // Bytes as read from the line.
  void FromHost(const uint8_t* bytes, size_t count);
  // A frame from the bus for the host; dropped while no channel is open.
  void FromBus(const CanMessage& message);

  // The channel that CanFrames go to the host on: the last one opened, 0 none.
  uint8_t HostChannel() const { return hostChannel_; }
  // Power lost, as when the adapter is unplugged: every channel is closed,
  // a frame half read is gone and there is no last frame to write again.
  void Restart();

 private:
  void OnFrame(const uint8_t* bytes, size_t length);
  void OnData(size_t length);
  void OnHostCanFrame(size_t length);
  void SendInfoReply(uint8_t channel);
  // Writes the frame in out_ as a counted frame, or queues it behind a
  // spoiled one that waits for the host's Nak.
  void Write(size_t length);
  // A counted frame onto the line: the garbage, checksum and chatter faults
  // apply, and it becomes the frame a Nak asks for again.
  void Emit(const uint8_t* bytes, size_t length);
  void Hold();
  // The host's Nak (or the hold's time limit): the good copy, if asked for,
  // then what waited behind it.
  void Release(bool withCopy);
  void WriteUncounted(const uint8_t* bytes, size_t length);
  // Every period-th count, or else by chance at percent.
  bool Strikes(uint32_t period, uint32_t percent, uint32_t count);
  void WriteGarbage();
  void WriteChatter();

  GatewayConfig config_;
  Scheduler& scheduler_;
  VirtualBus& bus_;
  HostWriter writer_;
  FrameCollector collector_;
  std::array<uint8_t, frame::kRingEntry> packet_{};
  std::array<uint8_t, frame::kRingEntry> out_{};
  std::array<uint8_t, frame::kRingEntry> last_{};
  size_t lastLength_ = 0;
  bool holding_ = false;
  uint32_t holds_ = 0;  // tells a hold's time limit from a later hold's
  struct Waiting {
    std::vector<uint8_t> bytes;
    bool counted;  // chatter is not: it is never spoiled and never asked for again
  };
  std::deque<Waiting> waiting_;  // frames behind a spoiled one
  std::array<bool, 256> open_{};
  uint8_t hostChannel_ = 0;
  uint32_t hostCanFrames_ = 0;
  uint32_t hostDataFrames_ = 0;
  uint32_t infoAnswered_ = 0;
  uint32_t framesToHost_ = 0;
  uint8_t chatterValue_ = 0;
  std::mt19937 random_;
  std::mt19937 chance_;
};
