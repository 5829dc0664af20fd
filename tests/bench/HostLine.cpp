#include "HostLine.h"

HostLine::HostLine(const BenchOptions& options)
    : bench(
          options, [this](const uint8_t* bytes, size_t count) { received.insert(received.end(), bytes, bytes + count); },
          [this](const std::string& event) { events.push_back(event); }) {}

void HostLine::Write(const std::vector<uint8_t>& bytes) {
  bench.FromHost(bytes.data(), bytes.size());
  bench.Advance(0);
}

void HostLine::OpenChannel(uint8_t channel) {
  uint8_t out[frame::kRingEntry];
  Write({out, out + frame::BuildOpenChannel(channel, out)});
}

void HostLine::RequestInfo() {
  uint8_t out[frame::kRingEntry];
  Write({out, out + frame::BuildInfoRequest(out)});
}

void HostLine::SendCan(uint32_t word, const std::vector<uint8_t>& data, uint8_t channel) {
  uint8_t out[frame::kRingEntry];
  const size_t length = frame::BuildCanFrame(channel, word, data.data(), static_cast<uint8_t>(data.size()), out);
  Write({out, out + length});
}

std::vector<HostLine::Packet> HostLine::TakePackets() {
  std::vector<Packet> packets;
  size_t start = SIZE_MAX;
  for (size_t i = scanned_; i < received.size(); ++i) {
    if (received[i] == frame::kStart) {
      start = i;
    } else if (start == SIZE_MAX) {
      ++noise_;
    } else if (received[i] == frame::kEnd) {
      std::vector<uint8_t> packet(i - start + 1);
      packet.resize(frame::Decode(&received[start], i - start + 1, packet.data()));
      packets.push_back({packet, frame::ChecksumValid(packet.data(), packet.size())});
      start = SIZE_MAX;
    }
  }
  scanned_ = received.size();
  return packets;
}

std::vector<CanMessage> HostLine::TakeCanFrames() {
  std::vector<CanMessage> frames;
  for (const Packet& packet : TakePackets()) {
    CanMessage message;
    if (packet.bytes.size() > 3 && packet.bytes[1] == frame::kData && packet.bytes[2] == frame::kCanFrame &&
        frame::ReadCanFrame(packet.bytes.data(), packet.bytes.size(), message)) {
      frames.push_back(message);
    }
  }
  return frames;
}

std::vector<uint8_t> DataOf(const CanMessage& message) {
  return std::vector<uint8_t>(message.data, message.data + message.length);
}
