#include "GatewayEmulator.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kCanFrameHeader = 8;  // channel, kind, id, identifier word
constexpr size_t kCanFrameMinimum = kCanFrameHeader + 1;
constexpr uint32_t kIdentifierMask = 0x1FFFFFFF;
constexpr uint32_t kLargestStandard = 0x7FF;

bool Every(uint32_t period, uint32_t count) { return period != 0 && count % period == 0; }

uint32_t BigEndian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

GatewayEmulator::GatewayEmulator(const GatewayConfig& config, Scheduler& scheduler, VirtualBus& bus,
                                 HostWriter writer)
    : config_(config), scheduler_(scheduler), bus_(bus), writer_(std::move(writer)), random_(config.seed) {}

void GatewayEmulator::FromHost(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (collector_.Push(bytes[i])) OnFrame(collector_.frame(), collector_.size());
  }
}

void GatewayEmulator::OnFrame(const uint8_t* bytes, size_t length) {
  if (length < 5) return;
  const size_t packetLength = frame::Decode(bytes, length, packet_.data());
  if (packetLength < 3 || !frame::ChecksumValid(packet_.data(), packetLength)) {
    Write(frame::BuildNak(out_.data()));
    return;
  }
  switch (packet_[frame::kKindAt]) {
    case frame::kNak:
      if (lastLength_ > 0) writer_(last_.data(), lastLength_);
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
    if (config_.noInfo) return;
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
    Write(BuildReopen(channel));
    return;
  }
  if (length < kCanFrameMinimum || length > kCanFrameMinimum + 8) {
    std::fprintf(stderr, "canbench: CanFrame packet of %zu bytes dropped\n", length);
    Write(frame::BuildAck(channel, out_.data()));
    return;
  }
  ++hostCanFrames_;
  if (Every(config_.reopenEvery, hostCanFrames_)) {
    Write(BuildReopen(channel));
    return;
  }
  if (Every(config_.nakEvery, hostCanFrames_)) {
    Write(frame::BuildNak(out_.data()));
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
  if (!Every(config_.dropAckEvery, hostCanFrames_)) Write(frame::BuildAck(channel, out_.data()));
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
  Write(BuildData(channel, frame::kInfoReply, payload, sizeof payload));
}

size_t GatewayEmulator::BuildData(uint8_t channel, uint16_t id, const uint8_t* payload, size_t count) {
  uint8_t packet[frame::kPayloadAt + 20 + 1];
  packet[frame::kChannelAt] = channel;
  packet[frame::kKindAt] = frame::kData;
  packet[frame::kIdAt] = static_cast<uint8_t>(id);
  packet[frame::kIdAt + 1] = static_cast<uint8_t>(id >> 8);
  std::copy_n(payload, count, packet + frame::kPayloadAt);
  const size_t checksumAt = frame::kPayloadAt + count;
  packet[checksumAt] = frame::Checksum(packet, static_cast<int>(checksumAt));
  return frame::Encode(packet, checksumAt + 1, out_.data());
}

size_t GatewayEmulator::BuildReopen(uint8_t channel) {
  const uint8_t packet[3] = {channel, frame::kReopen, static_cast<uint8_t>(channel ^ frame::kReopen)};
  return frame::Encode(packet, sizeof packet, out_.data());
}

void GatewayEmulator::Write(size_t length) {
  ++framesToHost_;
  std::copy_n(out_.begin(), length, last_.begin());
  lastLength_ = length;
  if (Every(config_.garbageEvery, framesToHost_)) WriteGarbage();
  // The byte before the end marker belongs to the checksum; flipping its
  // lowest bit never makes a marker or an escape, only a wrong checksum.
  if (Every(config_.badChecksumEvery, framesToHost_)) out_[length - 2] ^= 0x01;
  writer_(out_.data(), length);
  if (Every(config_.chatterEvery, framesToHost_)) WriteChatter();
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

void GatewayEmulator::WriteChatter() {
  if (hostChannel_ == 0) return;
  const uint8_t value = chatterValue_++;
  writer_(out_.data(), BuildData(hostChannel_, frame::kMessage19, &value, 1));
  writer_(out_.data(), BuildData(hostChannel_, frame::kMessage20, nullptr, 0));
}
