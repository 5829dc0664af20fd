#include "DispatchFixture.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "link/FrameCodec.h"

DispatchTest* DispatchTest::current_ = nullptr;

namespace {

Bytes Packet(const Bytes& line) {
  Bytes packet(line.size() + 1);
  packet.resize(frame::Decode(line.data(), line.size(), packet.data()));
  return packet;
}

}  // namespace

Bytes GatewayLine(Bytes packet) {
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  Bytes line(2 + 2 * packet.size());
  line.resize(frame::Encode(packet.data(), packet.size(), line.data()));
  return line;
}

Bytes DataLine(uint8_t channel, uint16_t id, const Bytes& payload) {
  Bytes packet = {channel, frame::kData, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
  packet.insert(packet.end(), payload.begin(), payload.end());
  return GatewayLine(packet);
}

Bytes ControlLine(uint8_t channel, uint8_t kind) { return GatewayLine({channel, kind}); }

Bytes CanFrameLine(uint8_t channel, uint32_t word, const Bytes& data) {
  Bytes payload = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 8),
                   static_cast<uint8_t>(word)};
  payload.insert(payload.end(), data.begin(), data.end());
  return DataLine(channel, frame::kCanFrame, payload);
}

std::string Describe(const Bytes& line) {
  const Bytes packet = Packet(line);
  if (packet.size() < 3 || !frame::ChecksumValid(packet.data(), packet.size())) return "garbled";
  char text[64];
  switch (packet[1]) {
    case frame::kAck:
      return "ack " + std::to_string(packet[0]);
    case frame::kNak:
      return packet[0] == 0 ? "nak" : "nak on " + std::to_string(packet[0]);
    case frame::kData:
      break;
    default:
      return "kind " + std::to_string(packet[1]);
  }
  const unsigned id = packet[2] | packet[3] << 8;
  if (id == frame::kOpenChannel && packet.size() == 7) return "open " + std::to_string(packet[4]);
  if (id == frame::kInfoRequest && packet.size() == 5) return "info?";
  if (id != frame::kCanFrame || packet.size() < 9) return "data " + std::to_string(id);
  std::snprintf(text, sizeof text, "frame %u %02X%02X%02X%02X", packet[0], packet[4], packet[5], packet[6], packet[7]);
  std::string out = text;
  for (size_t i = 8; i + 1 < packet.size(); ++i) {
    std::snprintf(text, sizeof text, " %02X", packet[i]);
    out += text;
  }
  return out;
}

std::vector<std::string> Describe(const std::vector<Bytes>& lines) {
  std::vector<std::string> out;
  for (const Bytes& line : lines) out.push_back(Describe(line));
  return out;
}

DispatchTest::DispatchTest() {
  auto fake = std::make_unique<FakeSerialPort>();
  port = fake.get();
  port->onWrite = [this](const Bytes& line) { PlayGateway(line); };
  link = std::make_unique<CanDispatch>(std::move(fake));
  current_ = this;
}

DispatchTest::~DispatchTest() {
  link->Shutdown();  // no callback runs once the threads have ended
  link.reset();
  current_ = nullptr;
}

void DispatchTest::PlayGateway(const Bytes& line) {
  const Bytes packet = Packet(line);
  if (packet.size() >= 7 && packet[1] == frame::kData && packet[2] == frame::kOpenChannel && acksOpenChannel)
    port->Feed(ControlLine(packet[4], frame::kAck));
  if (packet.size() >= 9 && packet[1] == frame::kData && packet[2] == frame::kCanFrame) {
    if (acksCanFrames) port->Feed(ControlLine(packet[0], frame::kAck));
    if (onFrameWritten) onFrameWritten(line);
  }
}

void DispatchTest::OpenWithChannel() {
  link->Open("COM1", 1500000);
  ASSERT_EQ(link->CreateChannel(0, &DispatchTest::OnFrame), 1);
  if (acksOpenChannel) {
    ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));
  }
}

bool DispatchTest::Queue(uint32_t identifier, bool extended, Bytes data, uint8_t channel) {
  CanMessage message;
  message.identifier = identifier;
  message.flags = extended ? CanMessage::kExtendedFlag : 0;
  message.length = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), message.data);
  return link->QueueCanFrame(channel, message, message.data);
}

std::vector<std::string> DispatchTest::WrittenAfter(size_t skip, size_t count) {
  EXPECT_TRUE(port->WaitForWrites(count)) << "only " << port->Written().size() << " of " << count << " written";
  std::vector<Bytes> written = port->Written();
  if (written.size() < skip) return {};
  return Describe(std::vector<Bytes>(written.begin() + static_cast<long>(skip), written.end()));
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void DispatchTest::Settle() {
  const int settled = settled_;
  port->Feed(CanFrameLine(1, kSentinel, Bytes(8, 0xFF)));
  ASSERT_TRUE(WaitUntil([&] { return settled_ > settled; }));
}

std::vector<CanMessage> DispatchTest::Delivered() const {
  std::lock_guard lock(mutex_);
  return delivered_;
}

void DispatchTest::OnFrame(int value) {
  DispatchTest* test = current_;
  EXPECT_EQ(value, 1);
  CanMessage message;
  test->link->GetLastFrame(1, message);
  if (message.identifier == kSentinel) {
    ++test->settled_;
    return;
  }
  {
    std::lock_guard lock(test->mutex_);
    test->delivered_.push_back(message);
  }
  if (test->onDelivery) test->onDelivery(message);
}
