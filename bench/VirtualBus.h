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
// Nodes that start the same frame at the same moment win arbitration
// together and put one frame on the bus: two bootloaders answering one
// request alike are heard once, as on a real bus.
class VirtualBus {
 public:
  using Receiver = std::function<void(const CanMessage&)>;

  VirtualBus(Scheduler& scheduler, uint32_t bitrate, CandumpTrace& trace);

  void AddNode(Receiver node) { nodes_.push_back(std::move(node)); }
  void SetGateway(Receiver gateway) { gateway_ = std::move(gateway); }

  void FromGateway(const CanMessage& message);
  // sender tells the nodes apart: one node sends its frames one by one.
  void FromNode(const CanMessage& message, const void* sender);

  // 47 + 8 * length bits for a standard frame, 67 + 8 * length for an
  // extended one (no stuff bits), in microseconds at the bit rate.
  static uint64_t FrameTimeUs(const CanMessage& message, uint32_t bitrate);

 private:
  // When the frame will start; frames from nodes start with a node frame
  // still waiting for the bus only if they differ from it.
  uint64_t Transmit(const CanMessage& message, std::function<void(const CanMessage&)> deliver);
  bool MergesWithAWaitingFrame(const CanMessage& message, const void* sender);

  Scheduler& scheduler_;
  uint32_t bitrate_;
  CandumpTrace& trace_;
  std::vector<Receiver> nodes_;
  Receiver gateway_;
  uint64_t freeAt_ = 0;  // when the frame on the bus has gone by
  struct WaitingFrame {
    uint64_t start;
    const void* sender;
    CanMessage message;
  };
  std::vector<WaitingFrame> waiting_;  // node frames not begun yet
};
