#include "GatewayEmulator.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kCanFrameHeader = 8;  // channel, kind, id, identifier word
constexpr size_t kCanFrameMinimum = kCanFrameHeader + 1;
constexpr uint32_t kIdentifierMask = 0x1FFFFFFF;
constexpr uint32_t kLargestStandard = 0x7FF;
// A host that never answers a spoiled frame (one that was restarting, say)
// does not silence the gateway for good.
constexpr uint64_t kHoldLimitUs = 500000;

bool Every(uint32_t period, uint32_t count) { return period != 0 && count % period == 0; }

uint32_t BigEndian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

GatewayEmulator::GatewayEmulator(const GatewayConfig& config, Scheduler& scheduler, VirtualBus& bus,
                                 HostWriter writer)
    : config_(config),
      scheduler_(scheduler),
      bus_(bus),
      writer_(std::move(writer)),
      random_(config.seed),
      chance_(config.seed) {}

void GatewayEmulator::Restart() {
  collector_ = FrameCollector();
  open_.fill(false);
  hostChannel_ = 0;
  lastLength_ = 0;
  holding_ = false;
  waiting_.clear();
}

void GatewayEmulator::FromHost(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (collector_.Push(bytes[i])) OnFrame(collector_.frame(), collector_.size());
  }
}

void GatewayEmulator::OnFrame(const uint8_t* bytes, size_t length) {
  if (length < 5) return;
  const size_t packetLength = frame::Decode(bytes, length, packet_.data());
  const bool valid = packetLength >= 3 && frame::ChecksumValid(packet_.data(), packetLength);
  // A data frame the line spoilt (the fault) is one the gateway cannot read.
  if (!valid || (packet_[frame::kKindAt] == frame::kData && Every(config_.spoilHostEvery, ++hostDataFrames_))) {
    Write(frame::BuildNak(out_.data()));
    return;
  }
  switch (packet_[frame::kKindAt]) {
    case frame::kNak:
      if (holding_) {
        Release(true);
      } else if (lastLength_ > 0) {
        writer_(last_.data(), lastLength_);
      }
      break;
    case frame::kData:
      OnData(packetLength);
      break;
    default:  // the host's Acks of our frames need nothing further
      break;
  }
}

void GatewayEmulator::OnData(size_t length) {
  if (length < frame::kPayloadAt + 1) return;
  const uint8_t channel = packet_[frame::kChannelAt];
  const uint16_t id = static_cast<uint16_t>(packet_[frame::kIdAt] | packet_[frame::kIdAt + 1] << 8);
  if (id == frame::kOpenChannel && length > frame::kPayloadAt + 1) {
    const uint8_t opened = packet_[frame::kPayloadAt];
    open_[opened] = true;
    hostChannel_ = opened;
    Write(frame::BuildAck(opened, out_.data()));
  } else if (id == frame::kInfoRequest) {
    // A gateway that restarted answers nothing on a channel it has not opened.
    if (config_.noInfo || !open_[channel]) return;
    if (config_.infoAnswers != 0 && infoAnswered_ == config_.infoAnswers) return;  // it stopped answering
    ++infoAnswered_;
    scheduler_.After(uint64_t{config_.infoDelayMs} * 1000, [this, channel] { SendInfoReply(channel); });
  } else if (id == frame::kCanFrame) {
    OnHostCanFrame(length);
  } else {
    Write(frame::BuildAck(channel, out_.data()));
  }
}

void GatewayEmulator::OnHostCanFrame(size_t length) {
  const uint8_t channel = packet_[frame::kChannelAt];
  if (!open_[channel]) {
    Write(frame::BuildControl(channel, frame::kReopen, out_.data()));
    return;
  }
  if (length < kCanFrameMinimum || length > kCanFrameMinimum + 8) {
    std::fprintf(stderr, "canbench: CanFrame packet of %zu bytes dropped\n", length);
    Write(frame::BuildAck(channel, out_.data()));
    return;
  }
  ++hostCanFrames_;
  if (Every(config_.reopenEvery, hostCanFrames_)) {
    Write(frame::BuildControl(channel, frame::kReopen, out_.data()));
    return;
  }
  // A gateway's Nak names the frame's channel: the console ignores packets
  // on a channel it has not opened.
  if (Every(config_.nakEvery, hostCanFrames_)) {
    Write(frame::BuildControl(channel, frame::kNak, out_.data()));
    return;
  }
  CanMessage message;
  const uint32_t word = BigEndian(&packet_[frame::kPayloadAt]);
  message.identifier = word & kIdentifierMask;
  // The console marks standard frames with bit 29 but also sets it on its
  // 29-bit Cal Requests and bootloader frames: the value decides.
  const bool extended = !(word & frame::kStandardMarker) || message.identifier > kLargestStandard;
  message.flags = extended ? CanMessage::kExtendedFlag : 0;
  message.length = static_cast<uint8_t>(length - kCanFrameMinimum);
  std::copy_n(&packet_[kCanFrameHeader], message.length, message.data);
  if (!Strikes(config_.dropAckEvery, config_.dropAckPercent, hostCanFrames_)) Write(frame::BuildAck(channel, out_.data()));
  bus_.FromGateway(message);
}

void GatewayEmulator::FromBus(const CanMessage& message) {
  if (hostChannel_ == 0) return;
  const bool extended = message.flags & CanMessage::kExtendedFlag;
  const uint32_t word = extended ? message.identifier : frame::kStandardMarker | (message.identifier & 0xFFFF);
  uint8_t data[8];
  std::fill(std::begin(data), std::end(data), 0xFF);
  std::copy_n(message.data, std::min<uint8_t>(message.length, 8), data);
  Write(frame::BuildCanFrame(hostChannel_, word, data, 8, out_.data()));
}

void GatewayEmulator::SendInfoReply(uint8_t channel) {
  uint8_t payload[20];
  for (size_t word = 0; word < 5; ++word) {
    for (size_t byte = 0; byte < 4; ++byte) {
      payload[word * 4 + byte] = static_cast<uint8_t>(config_.info[word] >> (24 - 8 * byte));
    }
  }
  Write(frame::BuildData(channel, frame::kInfoReply, payload, sizeof payload, out_.data()));
}

void GatewayEmulator::Write(size_t length) {
  if (holding_) {
    waiting_.push_back({std::vector<uint8_t>(out_.begin(), out_.begin() + static_cast<long>(length)), true});
  } else {
    Emit(out_.data(), length);
  }
}

void GatewayEmulator::Emit(const uint8_t* bytes, size_t length) {
  ++framesToHost_;
  std::copy_n(bytes, length, last_.begin());
  lastLength_ = length;
  if (Every(config_.garbageEvery, framesToHost_)) WriteGarbage();
  if (Strikes(config_.badChecksumEvery, config_.badChecksumPercent, framesToHost_)) {
    // The byte before the end marker belongs to the checksum; flipping its
    // lowest bit never makes a marker or an escape, only a wrong checksum.
    std::array<uint8_t, frame::kRingEntry> spoiled = last_;
    spoiled[length - 2] ^= 0x01;
    writer_(spoiled.data(), length);
    Hold();
  } else {
    writer_(bytes, length);
  }
  if (Every(config_.chatterEvery, framesToHost_)) WriteChatter();
}

void GatewayEmulator::Hold() {
  holding_ = true;
  scheduler_.After(kHoldLimitUs, [this, hold = ++holds_] {
    if (holding_ && hold == holds_) Release(false);
  });
}

void GatewayEmulator::Release(bool withCopy) {
  holding_ = false;
  if (withCopy) writer_(last_.data(), lastLength_);
  while (!holding_ && !waiting_.empty()) {
    const Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    if (next.counted) {
      Emit(next.bytes.data(), next.bytes.size());
    } else {
      writer_(next.bytes.data(), next.bytes.size());
    }
  }
}

bool GatewayEmulator::Strikes(uint32_t period, uint32_t percent, uint32_t count) {
  return Every(period, count) || (percent != 0 && chance_() % 100 < percent);
}

void GatewayEmulator::WriteGarbage() {
  uint8_t noise[16];
  const size_t count = 1 + random_() % sizeof noise;
  for (size_t i = 0; i < count; ++i) {
    do {
      noise[i] = static_cast<uint8_t>(random_());
    } while (noise[i] == frame::kStart);  // a start marker would swallow the next frame
  }
  writer_(noise, count);
}

// Behind a spoiled frame, the chatter waits like any frame.
void GatewayEmulator::WriteChatter() {
  if (hostChannel_ == 0) return;
  const uint8_t value = chatterValue_++;
  uint8_t line[frame::kRingEntry];
  WriteUncounted(line, frame::BuildData(hostChannel_, frame::kMessage19, &value, 1, line));
  WriteUncounted(line, frame::BuildData(hostChannel_, frame::kMessage20, nullptr, 0, line));
}

void GatewayEmulator::WriteUncounted(const uint8_t* bytes, size_t length) {
  if (holding_) {
    waiting_.push_back({std::vector<uint8_t>(bytes, bytes + length), false});
  } else {
    writer_(bytes, length);
  }
}
