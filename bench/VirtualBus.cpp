#include "VirtualBus.h"

#include <algorithm>
#include <utility>

VirtualBus::VirtualBus(Scheduler& scheduler, uint32_t bitrate, CandumpTrace& trace)
    : scheduler_(scheduler), bitrate_(bitrate), trace_(trace) {}

void VirtualBus::FromGateway(const CanMessage& message) {
  Transmit(message, [this](const CanMessage& sent) {
    trace_.Record(CandumpTrace::kFromHost, sent);
    for (const Receiver& node : nodes_) node(sent);
  });
}

void VirtualBus::FromNode(const CanMessage& message) {
  Transmit(message, [this](const CanMessage& sent) {
    trace_.Record(CandumpTrace::kFromNodes, sent);
    if (gateway_) gateway_(sent);
  });
}

uint64_t VirtualBus::FrameTimeUs(const CanMessage& message, uint32_t bitrate) {
  if (bitrate == 0) return 0;
  const bool extended = message.flags & CanMessage::kExtendedFlag;
  const uint64_t bits = (extended ? 67 : 47) + 8u * std::min<uint8_t>(message.length, 8);
  return (bits * 1000000 + bitrate - 1) / bitrate;
}

void VirtualBus::Transmit(const CanMessage& message, std::function<void(const CanMessage&)> deliver) {
  freeAt_ = std::max(freeAt_, scheduler_.Now()) + FrameTimeUs(message, bitrate_);
  scheduler_.After(freeAt_ - scheduler_.Now(), [message, deliver = std::move(deliver)] { deliver(message); });
}
