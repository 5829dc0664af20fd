#include <gtest/gtest.h>

#include "St10Session.h"
#include "bench/GatewayEmulator.h"

namespace {

using Bytes = HostLine::Bytes;
using Packets = std::vector<Bytes>;
using Strings = std::vector<std::string>;

Packets Unframed(const std::vector<HostLine::Packet>& packets) {
  Packets out;
  for (const HostLine::Packet& packet : packets) out.push_back(packet.bytes);
  return out;
}

Bytes Encoded(Bytes packet) {
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  Bytes line(2 + 2 * packet.size());
  line.resize(frame::Encode(packet.data(), packet.size(), line.data()));
  return line;
}

const Bytes kAck1 = {0x01, 0x01, 0x00};

struct HostCase {
  const char* name;
  Bytes line;
  Packets answer;  // unstuffed, checksum included
  Strings bus;
};

class FromHost : public testing::TestWithParam<HostCase> {};

// Channel 1 is open; the word's bit 29 marks standard frames only up to 0x7FF.
TEST_P(FromHost, IsAnsweredAndCarriedOntoTheBus) {
  HostLine host;
  host.OpenChannel(1);
  host.TakePackets();
  host.Write(GetParam().line);
  EXPECT_EQ(Unframed(host.TakePackets()), GetParam().answer);
  EXPECT_EQ(host.TakeBus(), GetParam().bus);
}

INSTANTIATE_TEST_SUITE_P(
    Gateway, FromHost,
    testing::Values(
        HostCase{"OpenChannel3", Encoded({0x01, 0x00, 0x03, 0x00, 0x03, 0x00}), {{0x03, 0x01, 0x02}}, {}},
        HostCase{"CalRequest", HostLine::CanLine(0x38EF0110, {0xBF}), {kAck1}, {"can0 18EF0110#BF"}},
        HostCase{"BootloaderCommand", HostLine::CanLine(0x18EF0110, {1}), {kAck1}, {"can0 18EF0110#01"}},
        HostCase{"St10Frame", HostLine::CanLine(0x38EFF110, {1}), {kAck1}, {"can0 18EFF110#01"}},
        HostCase{"Standard", HostLine::CanLine(0x20000005, {1}), {kAck1}, {"can0 005#01"}},
        HostCase{"LargestStandard", HostLine::CanLine(0x200007FF, {}), {kAck1}, {"can0 7FF#"}},
        HostCase{"MarkedButTooLarge", HostLine::CanLine(0x20000800, {1}), {kAck1}, {"can0 00000800#01"}},
        HostCase{"Unmarked", HostLine::CanLine(0x00000005, {1}), {kAck1}, {"can0 00000005#01"}},
        HostCase{"NeverOpenedChannel", HostLine::CanLine(0x38EF0110, {0xBF}, 2), {{0x02, 0x03, 0x01}}, {}},
        HostCase{"BadChecksum", {0x7E, 0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 0xBF, 0x59, 0x7F},
                 {{0x00, 0x02, 0x02}}, {}},
        HostCase{"NoiseAndShortFrames", {0x00, 0x7F, 0x12, 0x7E, 0x01, 0x7F}, {}, {}},
        HostCase{"OtherData", Encoded({0x01, 0x00, 0x63, 0x00}), {kAck1}, {}},
        HostCase{"ElevenDataBytes", Encoded(Bytes{0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 1, 2, 3, 4, 5, 6,
                                                  7, 8, 9, 10, 11}),
                 {kAck1}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A Cal Reply (29-bit) and an Atmel bootloader's announcement (11-bit).
TEST(Gateway, BusFramesReachTheHostPaddedWithFFAndStandardOnesMarked) {
  const std::vector<std::tuple<const char*, uint32_t, Bytes>> table = {
      {"address=0x30,program=144", 0x38EF3010, {0x18, 0xEF, 0x10, 0x30, 0xC0, 0, 0, 0x90, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"address=0x30,program=144,boot=atmel", 0x18EF3010, {0x20, 0, 0, 0, 0, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}};
  for (const auto& [node, word, payload] : table) {
    HostLine host(NodeOptions(node));
    host.OpenChannel(1);
    host.SendCan(word, {word & HostLine::kMarker ? uint8_t{0xBF} : uint8_t{0xF1}});
    host.AdvanceMs(Node::kBootMs);
    const Bytes packet = host.TakePackets().back().bytes;
    EXPECT_EQ(Bytes(packet.begin() + 4, packet.end() - 1), payload) << node;
  }
}

TEST(Gateway, DropsBusFramesWhileNoChannelIsOpen) {
  Scheduler scheduler;
  CandumpTrace trace;
  VirtualBus bus(scheduler, 0, trace);
  bool wrote = false;
  GatewayEmulator gateway({}, scheduler, bus, [&](const uint8_t*, size_t) { wrote = true; });
  gateway.FromBus(CanMessage{});
  EXPECT_FALSE(wrote);
}

TEST(Gateway, InfoReplyCarriesTheConfiguredWordsAfterTheDelayOrNever) {
  BenchOptions options;
  options.gateway.info = {0x01020304, 5, 6, 7, 0xFFFFFFFF};
  options.gateway.infoDelayMs = 400;
  HostLine host(options);
  const Bytes request = Encoded({0x01, 0x00, 0x15, 0x00});
  host.Write(request);
  host.AdvanceMs(399);
  EXPECT_TRUE(host.TakePackets().empty());
  host.AdvanceMs(1);
  const Packets packets = Unframed(host.TakePackets());
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(Bytes(packets[0].begin() + 2, packets[0].end() - 1),
            (Bytes{22, 0, 1, 2, 3, 4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF}));
  options.gateway.noInfo = true;
  HostLine silent(options);
  silent.Write(request);
  silent.AdvanceMs(10000);
  EXPECT_TRUE(silent.TakePackets().empty());
}

// What the host saw of each packet, in one letter: A Ack, N Nak, R Reopen,
// C CanFrame, 9 and 0 messages 19 and 20, ! checksum failed.
std::string Letters(const std::vector<HostLine::Packet>& packets) {
  std::string letters;
  for (const HostLine::Packet& packet : packets) {
    const uint8_t kind = packet.bytes[1];
    const uint8_t id = packet.bytes[2];
    letters += !packet.checksumOk ? '!' : kind != frame::kData ? " ANR"[kind] : id == frame::kCanFrame ? 'C'
                                                                          : id == frame::kMessage19 ? '9' : '0';
  }
  return letters;
}

// Opens channel 1 and sends four Cal Requests to a node at 0x30.
HostLine& Exchange(HostLine& host, int requests = 4) {
  host.OpenChannel(1);
  host.TakePackets();
  for (int i = 0; i < requests; ++i) host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  return host;
}

struct FaultCase {
  const char* name;
  uint32_t GatewayConfig::*field;
  uint32_t every;
  const char* letters;
};

class GatewayFault : public testing::TestWithParam<FaultCase> {};

TEST_P(GatewayFault, ShowsOnTheLineAsConfigured) {
  BenchOptions options = NodeOptions("address=0x30,program=144");
  options.gateway.*GetParam().field = GetParam().every;
  HostLine host(options);
  EXPECT_EQ(Letters(Exchange(host).TakePackets()), GetParam().letters);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GatewayFault,
    testing::Values(FaultCase{"None", &GatewayConfig::seed, 1, "ACACACAC"},
                    // the frame still reaches the node, only its Ack is missing
                    FaultCase{"DropAck", &GatewayConfig::dropAckEvery, 2, "ACCACC"},
                    // refused frames never reach the node
                    FaultCase{"Nak", &GatewayConfig::nakEvery, 2, "ACNACN"},
                    FaultCase{"Reopen", &GatewayConfig::reopenEvery, 3, "ACACRAC"},
                    // counted from the Ack of the OpenChannel, the first frame
                    FaultCase{"BadChecksum", &GatewayConfig::badChecksumEvery, 3, "A!AC!CA!"},
                    FaultCase{"Chatter", &GatewayConfig::chatterEvery, 4, "ACA90CACA90C"},
                    // noise never holds a start marker, so no frame is lost
                    FaultCase{"Garbage", &GatewayConfig::garbageEvery, 1, "ACACACAC"}),
    [](const auto& info) { return std::string(info.param.name); });

// The console acts only on packets of a channel it opened.
TEST(Gateway, RefusalNamesTheRefusedFramesChannel) {
  for (uint32_t GatewayConfig::*field : {&GatewayConfig::nakEvery, &GatewayConfig::reopenEvery}) {
    BenchOptions options = NodeOptions("address=0x30,program=144");
    options.gateway.*field = 1;
    HostLine host(options);
    const Packets packets = Unframed(Exchange(host, 1).TakePackets());
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0][0], 1);
  }
}

TEST(Gateway, NoiseIsReallyThere) {
  BenchOptions options;
  options.gateway.garbageEvery = 1;
  HostLine host(options);
  Exchange(host).TakePackets();
  EXPECT_GT(host.noise, 4u);
}

TEST(Gateway, SpoiltFrameComesBackWholeOnTheHostsNak) {
  BenchOptions options = NodeOptions("address=0x30,program=144");
  options.gateway.badChecksumEvery = 9;  // the last reply
  HostLine host(options);
  ASSERT_EQ(Letters(Exchange(host).TakePackets()).back(), '!');
  host.Write(Encoded({0x00, 0x02}));
  const auto frames = host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].identifier, 0x18EF1030u);
}

}  // namespace
