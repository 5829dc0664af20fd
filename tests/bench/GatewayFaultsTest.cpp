#include <gtest/gtest.h>

#include <string>

#include "HostLine.h"

namespace {

constexpr uint32_t kCalRequest30 = HostLine::kMarker | 0x18EF3010;

// What the host saw of one packet, in one letter: A Ack, N Nak, R Reopen,
// C CanFrame, 9 and 0 messages 19 and 20, ! checksum failed.
char Letter(const HostLine::Packet& packet) {
  if (!packet.checksumOk) return '!';
  switch (packet.bytes[1]) {
    case frame::kAck:
      return 'A';
    case frame::kNak:
      return 'N';
    case frame::kReopen:
      return 'R';
    default:
      break;
  }
  switch (packet.bytes[2]) {
    case frame::kCanFrame:
      return 'C';
    case frame::kMessage19:
      return '9';
    case frame::kMessage20:
      return '0';
    default:
      return '?';
  }
}

BenchOptions WithNode30(const GatewayConfig& gateway) {
  BenchOptions options;
  options.gateway = gateway;
  NodeConfig node;
  node.address = 0x30;
  node.program = 144;
  options.nodes.push_back(node);
  return options;
}

// Four Cal Requests to a node at 0x30; letters holds what came back.
struct Exchange {
  explicit Exchange(const GatewayConfig& gateway) : host(WithNode30(gateway)) {
    host.OpenChannel(1);
    host.TakePackets();
    for (int i = 0; i < 4; ++i) host.SendCan(kCalRequest30, {0xBF});
    for (const auto& packet : host.TakePackets()) letters += Letter(packet);
  }
  HostLine host;
  std::string letters;
};

struct FaultCase {
  const char* name;
  GatewayConfig config;
  const char* letters;
};

GatewayConfig With(uint32_t GatewayConfig::*field, uint32_t value) {
  GatewayConfig config;
  config.*field = value;
  return config;
}

class GatewayFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(GatewayFault, ShowsOnTheLineAsConfigured) { EXPECT_EQ(Exchange(GetParam().config).letters, GetParam().letters); }

INSTANTIATE_TEST_SUITE_P(
    Faults, GatewayFault,
    ::testing::Values(FaultCase{"None", {}, "ACACACAC"},
                      // the frame still reaches the node, only its Ack is missing
                      FaultCase{"DropAck", With(&GatewayConfig::dropAckEvery, 2), "ACCACC"},
                      // refused frames never reach the node
                      FaultCase{"Nak", With(&GatewayConfig::nakEvery, 2), "ACNACN"},
                      FaultCase{"Reopen", With(&GatewayConfig::reopenEvery, 3), "ACACRAC"},
                      // counted from the Ack of the OpenChannel, the first frame
                      FaultCase{"BadChecksum", With(&GatewayConfig::badChecksumEvery, 3), "A!AC!CA!"},
                      FaultCase{"Chatter", With(&GatewayConfig::chatterEvery, 4), "ACA90CACA90C"}),
    [](const auto& info) { return std::string(info.param.name); });

// The console acts only on packets of a channel it opened.
TEST(GatewayRefusal, NamesTheRefusedFramesChannel) {
  for (const GatewayConfig& config : {With(&GatewayConfig::nakEvery, 1), With(&GatewayConfig::reopenEvery, 1)}) {
    HostLine host(WithNode30(config));
    host.OpenChannel(1);
    host.TakePackets();
    host.SendCan(kCalRequest30, {0xBF});
    auto packets = host.TakePackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].bytes[0], 1);
  }
}

TEST(GatewayNoise, NeverHoldsAStartMarkerSoNoFrameIsLost) {
  Exchange noisy(With(&GatewayConfig::garbageEvery, 1));
  EXPECT_EQ(noisy.letters, "ACACACAC");
  EXPECT_GT(noisy.host.noise(), 8u);
}

TEST(GatewayNak, SpoiltFrameComesBackWholeOnTheHostsNak) {
  Exchange spoilt(With(&GatewayConfig::badChecksumEvery, 9));  // the last reply
  ASSERT_EQ(spoilt.letters.back(), '!');
  uint8_t nak[8];
  spoilt.host.Write({nak, nak + frame::BuildNak(nak)});
  const auto frames = spoilt.host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].identifier, 0x18EF1030u);
}

}  // namespace
