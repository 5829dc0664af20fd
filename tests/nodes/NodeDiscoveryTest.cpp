#include "nodes/NodeDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "FakeScreen.h"
#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

constexpr uint32_t kAlphaRequest = 0x18EF0110;  // address 0x01: slots 1, 22, 44
constexpr uint32_t kSharedRequest = 0x18EF3010;  // address 0x30: slots 12, 13, 20, 23, 27, 34
constexpr uint32_t kLastRequest = 0x18EF3910;    // address 0x39, slot 43: the last address asked
constexpr uint32_t kSharedResponse = 0x18EF1030;
const std::vector<uint8_t> kProgram299{0xC0, 0x00, 0x00, 0x2B, 0x01};

CanMessage CalReply(uint32_t identifier, std::vector<uint8_t> data) {
  CanMessage reply{identifier, CanMessage::kExtendedFlag, static_cast<uint8_t>(data.size()), {}};
  std::copy(data.begin(), data.end(), reply.data);
  return reply;
}

// A link that writes each frame holdMs after the one before it left, as one
// whose gateway acknowledges nothing does; endless, it never stops writing.
class LinkScreen : public FakeScreen {
 public:
  bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override {
    const uint32_t now = TickCount();
    writes.push_back(writes.empty() ? now : std::max(now, writes.back() + holdMs));
    sent.push_back(message.identifier);
    return FakeScreen::SendCanMessage(message, extended, length);
  }
  uint32_t LastFrameWritten() override {
    if (endless) return TickCount();
    uint32_t last = 0;
    for (uint32_t at : writes)
      if (at <= TickCount()) last = at;
    return last;
  }

  uint32_t holdMs = 0;
  bool endless = false;
  std::vector<uint32_t> writes;  // when each frame leaves
  std::vector<uint32_t> sent;    // identifiers, as queued
};

class NodeDiscoveryTest : public ::testing::Test {
 protected:
  // The nodes (request identifier and program) answer answerMs after their
  // request left on the line.
  void NodesAnswer(std::map<uint32_t, uint32_t> nodes, uint32_t answerMs) {
    screen.onSend = [=, this](const CanMessage& request) {
      const auto node = nodes.find(request.identifier);
      if (node == nodes.end() || request.data[0] != NodeDiscovery::kCalRequest) return;
      const uint32_t response = 0x18EF1000 + (request.identifier >> 8 & 0xFF);
      const uint8_t program = static_cast<uint8_t>(node->second);
      clock.Schedule(screen.writes.back() - TickCount() + answerMs,
                     [=, this] { discovery.OnReply(CalReply(response, {0xC0, 0, 0, program, 0xFF})); });
    };
  }

  std::vector<std::string> LinesStarting(const std::string& start) const {
    std::vector<std::string> found;
    for (const std::string& line : screen.Logs())
      if (line.starts_with(start)) found.push_back(line);
    return found;
  }

  std::vector<uint32_t> Programs() const {
    std::vector<uint32_t> programs;
    for (const NodeSlot& slot : NodeTable) programs.push_back(slot.program);
    return programs;
  }

  VirtualClock clock;
  ScopedClock useClock{clock};
  LinkScreen screen;
  NodeDiscovery discovery;
};

TEST_F(NodeDiscoveryTest, AsksEachAddressOnceAndCreditsEveryReplyToEachSlotOfItsAddress) {
  NodesAnswer({{kAlphaRequest, 149}, {kSharedRequest, 144}}, 5);
  discovery.SendCalRequests();
  std::vector<uint32_t> firstUses;
  for (uint32_t identifier : kNodeRequestIdentifiers)
    if (std::find(firstUses.begin(), firstUses.end(), identifier) == firstUses.end()) firstUses.push_back(identifier);
  EXPECT_EQ(screen.sent, firstUses);
  const std::vector<std::string> tx = LinesStarting("Tx - ");
  ASSERT_EQ(tx.size(), 48u);
  EXPECT_EQ(tx[47], "Tx - Node Num: 48, Node ID: 18EF3510, Node Name: Omicron Node");
  std::vector<uint32_t> expected(48, 0);
  for (int slot : {1, 22, 44}) expected[slot - 1] = 149;
  for (int slot : {12, 13, 20, 23, 27, 34}) expected[slot - 1] = 144;
  EXPECT_EQ(Programs(), expected);
  EXPECT_EQ(LinesStarting("Rx - ").size(), 9u);
  EXPECT_FALSE(queryInProgress);
}

struct WindowCase {
  const char* name;
  uint32_t holdMs;    // the link's hold of each frame after the one before
  uint32_t answerMs;  // the last address's answer after its request left
  bool found;
};

class ReplyWindowTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<WindowCase> {};

// The window runs 300 ms from the last request on the line, however late the
// link wrote it; the query ends with it and takes nothing after it.
TEST_P(ReplyWindowTest, TheLastAddressIsFoundOnlyWithinTheWindowAfterItsRequestLeft) {
  screen.holdMs = GetParam().holdMs;
  NodesAnswer({{kLastRequest, 200}}, GetParam().answerMs);
  discovery.SendCalRequests();
  EXPECT_EQ(TickCount(), screen.writes.back() + NodeDiscovery::kReplyWindowMs);
  clock.Advance(NodeDiscovery::kReplyWindowMs);  // a late answer arrives after the query
  EXPECT_EQ(FindNodeSlot(43)->program, GetParam().found ? 200u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Windows, ReplyWindowTest,
                         ::testing::Values(WindowCase{"Prompt", 0, 5, true}, WindowCase{"AtTheLimit", 0, 299, true},
                                           WindowCase{"TooLate", 0, 301, false},
                                           WindowCase{"BehindLostAcks", 200, 5, true},
                                           WindowCase{"BehindLostAcksTooLate", 200, 301, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A link that never stops writing (a gateway that asks for every frame again)
// must not hold the query beyond a lost Ack for each request.
TEST_F(NodeDiscoveryTest, ALinkThatNeverFallsQuietEndsTheQueryAtItsBound) {
  screen.endless = true;
  discovery.SendCalRequests();
  EXPECT_EQ(TickCount(), screen.writes.back() + NodeDiscovery::kReplyWindowMs + 32 * 200);
}

struct DecodingCase {
  std::vector<uint8_t> data;
  uint32_t program;
  bool generic;
};

class ReplyDecodingTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<DecodingCase> {};

TEST_P(ReplyDecodingTest, ProgramNumberIsLowByteAndHighByteUnlessHighIsFF) {
  queryInProgress = true;
  discovery.OnCalReply(CalReply(kSharedResponse, GetParam().data));
  queryInProgress = false;
  std::vector<std::string> expected;
  for (int slot : {12, 13, 20, 23, 27, 34}) {
    EXPECT_EQ(FindNodeSlot(slot)->program, GetParam().program);
    if (GetParam().program != 0)
      expected.push_back("Rx - Node Num: " + std::to_string(slot) +
                         ", Node ID: 18EF1030, Node Prog: " + std::to_string(GetParam().program));
  }
  EXPECT_EQ(program251Seen, GetParam().generic);
  EXPECT_EQ(LinesStarting("Rx - "), expected);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyDecodingTest,
                         ::testing::Values(DecodingCase{kProgram299, 299, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFB, 0xFF}, 251, true},
                                           DecodingCase{{0xC0, 0x12, 0x34, 0xFF, 0xFF}, 255, false},
                                           DecodingCase{{0xC1, 0x00, 0x00, 0x2B, 0x01}, 0, false}));  // not a Cal Reply

}  // namespace
