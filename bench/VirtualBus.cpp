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

void VirtualBus::FromNode(const CanMessage& message, const void* sender) {
  if (MergesWithAWaitingFrame(message, sender)) return;
  const uint64_t start = Transmit(message, [this](const CanMessage& sent) {
    trace_.Record(CandumpTrace::kFromNodes, sent);
    if (gateway_) gateway_(sent);
  });
  waiting_.push_back({start, sender, message});
}

// Another node's frame that has not begun yet, with the same identifier,
// length and data: both senders were ready before its start, so they send it
// as one.
bool VirtualBus::MergesWithAWaitingFrame(const CanMessage& message, const void* sender) {
  const uint64_t now = scheduler_.Now();
  std::erase_if(waiting_, [now](const WaitingFrame& frame) { return frame.start < now; });
  return std::any_of(waiting_.begin(), waiting_.end(), [&](const WaitingFrame& frame) {
    const CanMessage& other = frame.message;
    return frame.sender != sender && other.identifier == message.identifier && other.flags == message.flags &&
           other.length == message.length && std::equal(message.data, message.data + message.length, other.data);
  });
}

uint64_t VirtualBus::FrameTimeUs(const CanMessage& message, uint32_t bitrate) {
  if (bitrate == 0) return 0;
  const bool extended = message.flags & CanMessage::kExtendedFlag;
  const uint64_t bits = (extended ? 67 : 47) + 8u * std::min<uint8_t>(message.length, 8);
  return (bits * 1000000 + bitrate - 1) / bitrate;
}

uint64_t VirtualBus::Transmit(const CanMessage& message, std::function<void(const CanMessage&)> deliver) {
  const uint64_t start = std::max(freeAt_, scheduler_.Now());
  freeAt_ = start + FrameTimeUs(message, bitrate_);
  scheduler_.After(freeAt_ - scheduler_.Now(), [message, deliver = std::move(deliver)] { deliver(message); });
  return start;
}
