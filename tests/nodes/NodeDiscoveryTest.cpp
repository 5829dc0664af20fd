#include "nodes/NodeDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeScreen.h"
#include "RowName.h"
#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

constexpr uint32_t kSharedNodeRequest = 0x18EF3010;  // address 0x30
constexpr uint32_t kSharedNodeResponse = 0x18EF1030;
const std::vector<uint8_t> kProgram299{0xC0, 0x00, 0x00, 0x2B, 0x01};

CanMessage CalReply(uint32_t identifier, std::vector<uint8_t> data) {
  CanMessage reply{identifier, CanMessage::kExtendedFlag, static_cast<uint8_t>(data.size()), {}};
  std::copy(data.begin(), data.end(), reply.data);
  return reply;
}

class NodeDiscoveryTest : public ::testing::Test {
 protected:
  // Lets the node at address 0x30 answer its Cal Requests after a delay.
  void SharedNodeAnswers(uint32_t delayMs) {
    screen.onSend = [=, this](const CanMessage& sent) {
      if (sent.identifier != kSharedNodeRequest || sent.data[0] != NodeDiscovery::kCalRequest) return;
      clock.Schedule(delayMs, [this] { discovery.OnReply(CalReply(kSharedNodeResponse, kProgram299)); });
    };
  }

  // Answers one reply while the query stands at the given slot.
  void ReplyDuringQueryOf(int slotNumber, const CanMessage& reply) {
    queryInProgress = true;
    queryIndex = static_cast<uint32_t>(slotNumber - 1);
    discovery.OnCalReply(reply);
    queryInProgress = false;
  }

  std::vector<std::string> RxLines() const {
    std::vector<std::string> found;
    for (const std::string& line : screen.Logs())
      if (line.starts_with("Rx - ")) found.push_back(line);
    return found;
  }

  VirtualClock clock;
  ScopedClock useClock{clock};
  FakeScreen screen;
  NodeDiscovery discovery;
};

TEST_F(NodeDiscoveryTest, LateReplyCountsOnlyForANextSlotOfTheSameNode) {
  SharedNodeAnswers(350);  // when the query has moved on to the next slot
  discovery.SendCalRequests();
  for (int number = 1; number <= 48; ++number)
    EXPECT_EQ(FindNodeSlot(number)->program, number == 13 ? 299u : 0u) << number;
}

struct DecodingCase {
  const char* name;
  std::vector<uint8_t> data;
  uint32_t program;
  bool generic;
};

class ReplyDecodingTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<DecodingCase> {};

TEST_P(ReplyDecodingTest, ProgramNumberIsLowByteAndHighByteUnlessHighIsFF) {
  ReplyDuringQueryOf(12, CalReply(kSharedNodeResponse, GetParam().data));
  EXPECT_EQ(FindNodeSlot(12)->program, GetParam().program);
  EXPECT_EQ(program251Seen, GetParam().generic);
  EXPECT_EQ(RxLines(), std::vector<std::string>{"Rx - Node Num: 12, Node ID: 18EF1030, Node Prog: " +
                                                std::to_string(GetParam().program)});
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyDecodingTest,
                         ::testing::Values(DecodingCase{"Program299", kProgram299, 299, false},
                                           DecodingCase{"Generic251", {0xC0, 0x00, 0x00, 0xFB, 0xFF}, 251, true},
                                           DecodingCase{"HighByteFF", {0xC0, 0x12, 0x34, 0xFF, 0xFF}, 255, false}),
                         RowName());

}  // namespace
