#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "CandumpTrace.h"
#include "Scheduler.h"
#include "link/CanMessage.h"

// The implement bus between the gateway and the nodes. A frame from the
// gateway reaches every node, a frame from a node reaches the gateway. With a
// bit rate each frame occupies the bus for its bit time and frames queue up
// behind one another; without one they arrive as soon as the loop runs.
class VirtualBus {
 public:
  using Receiver = std::function<void(const CanMessage&)>;

  VirtualBus(Scheduler& scheduler, uint32_t bitrate, CandumpTrace& trace);

  void AddNode(Receiver node) { nodes_.push_back(std::move(node)); }
  void SetGateway(Receiver gateway) { gateway_ = std::move(gateway); }

  void FromGateway(const CanMessage& message);
  void FromNode(const CanMessage& message);

  // 47 + 8 * length bits for a standard frame, 67 + 8 * length for an
  // extended one (no stuff bits), in microseconds at the bit rate.
  static uint64_t FrameTimeUs(const CanMessage& message, uint32_t bitrate);

 private:
  void Transmit(const CanMessage& message, std::function<void(const CanMessage&)> deliver);

  Scheduler& scheduler_;
  uint32_t bitrate_;
  CandumpTrace& trace_;
  std::vector<Receiver> nodes_;
  Receiver gateway_;
  uint64_t freeAt_ = 0;  // when the frame on the bus has gone by
};
