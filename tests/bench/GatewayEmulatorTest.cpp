#include <gtest/gtest.h>

#include <vector>

#include "HostLine.h"
#include "bench/GatewayEmulator.h"

namespace {

// The gateway alone: what it writes to the host and what it puts on the bus.
class GatewayTest : public ::testing::Test {
 protected:
  explicit GatewayTest(GatewayConfig config = {})
      : bus_(scheduler_, 0, trace_),
        gateway_(config, scheduler_, bus_, [this](const uint8_t* bytes, size_t count) {
          host_.insert(host_.end(), bytes, bytes + count);
        }) {
    bus_.AddNode([this](const CanMessage& message) { onBus_.push_back(message); });
  }

  void Write(const uint8_t* bytes, size_t count) {
    gateway_.FromHost(bytes, count);
    scheduler_.Advance(0);
  }
  void Open(uint8_t channel) {
    uint8_t out[frame::kRingEntry];
    Write(out, frame::BuildOpenChannel(channel, out));
  }
  void SendCan(uint32_t word, std::vector<uint8_t> data, uint8_t channel = 1) {
    uint8_t out[frame::kRingEntry];
    Write(out, frame::BuildCanFrame(channel, word, data.data(), static_cast<uint8_t>(data.size()), out));
  }
  // Decoded packets written to the host since the last call.
  std::vector<std::vector<uint8_t>> Take() {
    std::vector<std::vector<uint8_t>> packets;
    size_t start = 0;
    for (size_t i = 0; i < host_.size(); ++i) {
      if (host_[i] == frame::kStart) start = i;
      if (host_[i] != frame::kEnd) continue;
      std::vector<uint8_t> packet(i - start + 1);
      packet.resize(frame::Decode(&host_[start], i - start + 1, packet.data()));
      packets.push_back(packet);
    }
    host_.clear();
    return packets;
  }

  Scheduler scheduler_;
  CandumpTrace trace_;
  VirtualBus bus_;
  GatewayEmulator gateway_;
  std::vector<uint8_t> host_;
  std::vector<CanMessage> onBus_;
};

using PacketList = std::vector<std::vector<uint8_t>>;
const std::vector<uint8_t> kAck1 = {0x01, 0x01, 0x00};
const std::vector<uint8_t> kNak = {0x00, 0x02, 0x02};

TEST_F(GatewayTest, OpenChannelIsAcknowledgedOnTheOpenedChannel) {
  Open(3);
  EXPECT_EQ(Take(), (PacketList{{0x03, 0x01, 0x02}}));
  EXPECT_EQ(gateway_.HostChannel(), 3);
}

TEST_F(GatewayTest, InfoReplyCarriesTheFiveWordsMostSignificantByteFirst) {
  uint8_t out[frame::kRingEntry];
  Write(out, frame::BuildInfoRequest(out));
  const PacketList packets = Take();
  ASSERT_EQ(packets.size(), 1u);
  ASSERT_EQ(packets[0].size(), 25u);
  EXPECT_EQ(packets[0][2], frame::kInfoReply);
  EXPECT_EQ(std::vector<uint8_t>(packets[0].begin() + 4, packets[0].begin() + 8),
            (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x05}));  // 261
  EXPECT_TRUE(frame::ChecksumValid(packets[0].data(), packets[0].size()));
}

TEST_F(GatewayTest, HostCanFrameIsAcknowledgedAndPutOnTheBus) {
  Open(1);
  Take();
  SendCan(0x38EF0110, {0xBF});
  EXPECT_EQ(Take(), PacketList{kAck1});
  ASSERT_EQ(onBus_.size(), 1u);
  EXPECT_EQ(onBus_[0].identifier, 0x18EF0110u);
  EXPECT_EQ(DataOf(onBus_[0]), std::vector<uint8_t>{0xBF});
}

TEST_F(GatewayTest, CanFrameOnAChannelNeverOpenedAsksTheHostToReopenIt) {
  SendCan(0x38EF0110, {0xBF}, 2);
  EXPECT_EQ(Take(), (PacketList{{0x02, frame::kReopen, 0x01}}));
  EXPECT_TRUE(onBus_.empty());
}

TEST_F(GatewayTest, FramesFromTheBusWaitForAnOpenChannel) {
  CanMessage reply;
  reply.identifier = 5;
  reply.length = 1;
  gateway_.FromBus(reply);
  EXPECT_TRUE(Take().empty());
}

struct BusFrameCase {
  const char* name;
  uint32_t identifier;
  bool extended;
  std::vector<uint8_t> data;
  std::vector<uint8_t> payload;  // identifier word and eight data bytes
};

class BusToHost : public GatewayTest, public ::testing::WithParamInterface<BusFrameCase> {};

TEST_P(BusToHost, GoesOutAsTheConsoleReadsItPaddedWithFF) {
  Open(1);
  Take();
  CanMessage message;
  message.identifier = GetParam().identifier;
  message.flags = GetParam().extended ? CanMessage::kExtendedFlag : 0;
  message.length = static_cast<uint8_t>(GetParam().data.size());
  std::copy(GetParam().data.begin(), GetParam().data.end(), message.data);
  gateway_.FromBus(message);
  const PacketList packets = Take();
  ASSERT_EQ(packets.size(), 1u);
  ASSERT_EQ(packets[0].size(), frame::kCanFramePacketFromGateway);
  EXPECT_EQ(std::vector<uint8_t>(packets[0].begin(), packets[0].begin() + 4), (std::vector<uint8_t>{1, 0, 32, 0}));
  EXPECT_EQ(std::vector<uint8_t>(packets[0].begin() + 4, packets[0].end() - 1), GetParam().payload);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BusToHost,
    ::testing::Values(
        BusFrameCase{"Extended", 0x18EF10F1, true, {0xD0, 0x01},
                     {0x18, 0xEF, 0x10, 0xF1, 0xD0, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        BusFrameCase{"Standard", 0x005, false, {0x00},
                     {0x20, 0x00, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        BusFrameCase{"EmptyStandard", 0x003, false, {},
                     {0x20, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        BusFrameCase{"Full", 0x7FF, false, {1, 2, 3, 4, 5, 6, 7, 8},
                     {0x20, 0x00, 0x07, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}}),
    [](const auto& info) { return std::string(info.param.name); });

struct WordCase {
  uint32_t word;
  uint32_t identifier;
  bool extended;
};

class IdentifierWord : public GatewayTest, public ::testing::WithParamInterface<WordCase> {};

TEST_P(IdentifierWord, DecidesTheBusIdentifierAndItsKind) {
  Open(1);
  SendCan(GetParam().word, {0x01});
  ASSERT_EQ(onBus_.size(), 1u);
  EXPECT_EQ(onBus_[0].identifier, GetParam().identifier);
  EXPECT_EQ(bool(onBus_[0].flags & CanMessage::kExtendedFlag), GetParam().extended);
}

INSTANTIATE_TEST_SUITE_P(Words, IdentifierWord,
                         ::testing::Values(WordCase{0x38EF0110, 0x18EF0110, true},  // Cal Request: marker on 29 bits
                                           WordCase{0x18EF0110, 0x18EF0110, true},  // bootloader command
                                           WordCase{0x38EFF110, 0x18EFF110, true},  // ST10 frames
                                           WordCase{0x20000005, 0x005, false},      // Atmel frames
                                           WordCase{0x200007FF, 0x7FF, false},
                                           WordCase{0x20000800, 0x800, true},
                                           WordCase{0x00000005, 0x005, true}));  // no marker: extended

TEST_F(GatewayTest, HostNakBringsTheLastFrameBackUnchanged) {
  Open(1);
  Take();
  CanMessage reply;
  reply.identifier = 0x18EF1030;
  reply.flags = CanMessage::kExtendedFlag;
  reply.length = 5;
  gateway_.FromBus(reply);
  const std::vector<uint8_t> sent = host_;
  host_.clear();
  uint8_t nak[8];
  Write(nak, frame::BuildNak(nak));
  EXPECT_EQ(host_, sent);
}

TEST_F(GatewayTest, FrameWithABadChecksumIsAnsweredWithNak) {
  Open(1);
  Take();
  const uint8_t spoilt[] = {0x7E, 0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 0xBF, 0x59, 0x7F};
  Write(spoilt, sizeof spoilt);
  EXPECT_EQ(Take(), PacketList{kNak});
  EXPECT_TRUE(onBus_.empty());
}

TEST_F(GatewayTest, NoiseAndShortFramesAreIgnored) {
  Open(1);
  Take();
  const uint8_t noise[] = {0x00, 0x7F, 0x12, 0x7E, 0x01, 0x7F};
  Write(noise, sizeof noise);
  EXPECT_TRUE(Take().empty());
}

TEST_F(GatewayTest, OtherDataPacketsAreAcknowledged) {
  Open(1);
  Take();
  const uint8_t packet[] = {0x01, 0x00, 0x63, 0x00, 0x62};
  uint8_t out[16];
  Write(out, frame::Encode(packet, sizeof packet, out));
  EXPECT_EQ(Take(), PacketList{kAck1});
}

TEST_F(GatewayTest, CanFramePacketOfImpossibleLengthIsAcknowledgedButNotCarried) {
  Open(1);
  Take();
  uint8_t packet[20] = {0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10};
  packet[19] = frame::Checksum(packet, 19);  // eleven data bytes
  uint8_t out[64];
  Write(out, frame::Encode(packet, sizeof packet, out));
  EXPECT_EQ(Take(), PacketList{kAck1});
  EXPECT_TRUE(onBus_.empty());
}

class InfoTiming : public ::testing::Test {};

TEST_F(InfoTiming, ReplyComesAfterTheDelayOrNever) {
  BenchOptions late;
  late.gateway.infoDelayMs = 400;
  HostLine delayed(late);
  delayed.RequestInfo();
  delayed.AdvanceMs(399);
  EXPECT_TRUE(delayed.TakePackets().empty());
  delayed.AdvanceMs(1);
  EXPECT_EQ(delayed.TakePackets().size(), 1u);

  BenchOptions silent;
  silent.gateway.noInfo = true;
  HostLine missing(silent);
  missing.RequestInfo();
  missing.AdvanceMs(10000);
  EXPECT_TRUE(missing.TakePackets().empty());
}

TEST(GatewayInfo, WordsAreConfigurable) {
  BenchOptions options;
  options.gateway.info = {0x01020304, 5, 6, 7, 0xFFFFFFFF};
  HostLine host(options);
  host.RequestInfo();
  const auto packets = host.TakePackets();
  ASSERT_EQ(packets.size(), 1u);
  const std::vector<uint8_t> words(packets[0].bytes.begin() + 4, packets[0].bytes.end() - 1);
  EXPECT_EQ(words, (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
