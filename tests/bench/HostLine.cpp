#include "HostLine.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

HostLine::HostLine(const BenchOptions& options)
    : bench(
          options, [this](const uint8_t* bytes, size_t count) { received.insert(received.end(), bytes, bytes + count); },
          [this](const std::string& event) { events.push_back(event); }) {
  static int traces = 0;
  tracePath_ = testing::TempDir() + "canbench-" + std::to_string(getpid()) + "-" + std::to_string(++traces) + ".log";
  std::string error;
  EXPECT_TRUE(bench.StartTrace(tracePath_, error)) << error;
}

HostLine::Bytes HostLine::CanLine(uint32_t word, const Bytes& data, uint8_t channel) {
  Bytes line(frame::kRingEntry);
  line.resize(frame::BuildCanFrame(channel, word, data.data(), static_cast<uint8_t>(data.size()), line.data()));
  return line;
}

void HostLine::Write(const Bytes& bytes) {
  bench.FromHost(bytes.data(), bytes.size());
  bench.Advance(0);
}

void HostLine::OpenChannel(uint8_t channel) {
  uint8_t out[frame::kRingEntry];
  Write({out, out + frame::BuildOpenChannel(channel, out)});
}

std::vector<HostLine::Packet> HostLine::TakePackets() {
  std::vector<Packet> packets;
  size_t start = SIZE_MAX;
  for (size_t i = scanned_; i < received.size(); ++i) {
    if (received[i] == frame::kStart) {
      start = i;
    } else if (start == SIZE_MAX) {
      ++noise;
    } else if (received[i] == frame::kEnd) {
      Bytes packet(i - start + 1);
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

std::vector<std::string> HostLine::TakeBus() {
  std::ifstream trace(tracePath_);
  std::vector<std::string> lines;
  for (std::string line; std::getline(trace, line);) lines.push_back(line.substr(line.find(')') + 2));
  lines.erase(lines.begin(), lines.begin() + static_cast<long>(traced_));
  traced_ += lines.size();
  return lines;
}

HostLine::Bytes DataOf(const CanMessage& message) { return {message.data, message.data + message.length}; }
