#include "nodes/NodeDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FakeScreen.h"
#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

constexpr uint32_t kSharedNodeRequest = 0x18EF3010;  // address 0x30
constexpr uint32_t kSharedNodeResponse = 0x18EF1030;
const std::vector<int> kSharedNodeSlots{12, 13, 20, 23, 27, 34};
const std::vector<uint8_t> kProgram299{0xC0, 0x00, 0x00, 0x2B, 0x01};

CanMessage CalReply(uint32_t identifier, std::vector<uint8_t> data) {
  CanMessage reply{identifier, CanMessage::kExtendedFlag, static_cast<uint8_t>(data.size()), {}};
  std::copy(data.begin(), data.end(), reply.data);
  return reply;
}

bool IsSharedSlot(int number) {
  return std::find(kSharedNodeSlots.begin(), kSharedNodeSlots.end(), number) != kSharedNodeSlots.end();
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

TEST_F(NodeDiscoveryTest, ConstructionFillsTheNodeTable) {
  NodeTable[0].program = 5;
  program251Seen = true;
  NodeDiscovery another;
  EXPECT_EQ(NodeTable[0].program, 0u);
  EXPECT_EQ(NodeTable[47].number, 48u);
  EXPECT_FALSE(program251Seen);
}

TEST_F(NodeDiscoveryTest, QueryAsksEverySlotInOrderEveryThreeHundredMilliseconds) {
  std::vector<uint32_t> sendTimes, indexesAtSend;
  screen.onSend = [&](const CanMessage&) {
    sendTimes.push_back(clock.TickCount());
    indexesAtSend.push_back(queryInProgress ? queryIndex.load() : 99);
  };
  discovery.SendCalRequests();

  EXPECT_EQ(clock.TickCount(), 48u * 300u);
  EXPECT_FALSE(queryInProgress);
  const std::vector<CanMessage> sent = screen.Sent();
  ASSERT_EQ(sent.size(), 48u);
  for (uint32_t i = 0; i < 48; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(sent[i].identifier, kNodeRequestIdentifiers[i]);
    EXPECT_EQ(sent[i].flags & CanMessage::kExtendedFlag, 0);
    EXPECT_EQ(sent[i].length, 1);
    EXPECT_EQ(sent[i].data[0], 0xBF);
    EXPECT_EQ(sendTimes[i], i * 300);
    EXPECT_EQ(indexesAtSend[i], i);
  }
  const std::vector<std::string> logs = screen.Logs();
  ASSERT_EQ(logs.size(), 49u);
  EXPECT_EQ(logs[0], "Sending Cal Request:");
  EXPECT_EQ(logs[1], "Tx - Node Num: 1, Node ID: 18EF0110, Node Name: Alpha Node 1");
  EXPECT_EQ(logs[48], "Tx - Node Num: 48, Node ID: 18EF3510, Node Name: Omicron Node");
}

TEST_F(NodeDiscoveryTest, NodeAtSharedAddressFillsAllSixOfItsSlots) {
  SharedNodeAnswers(40);
  discovery.SendCalRequests();
  for (int number = 1; number <= 48; ++number)
    EXPECT_EQ(FindNodeSlot(number)->program, IsSharedSlot(number) ? 299u : 0u) << number;
  const std::vector<std::string> rx = RxLines();
  ASSERT_EQ(rx.size(), 6u);
  EXPECT_EQ(rx[0], "Rx - Node Num: 12, Node ID: 18EF1030, Node Prog: 299");
  EXPECT_TRUE(discovery.IsProgramOnline(299));
}

TEST_F(NodeDiscoveryTest, LateReplyCountsOnlyForANextSlotOfTheSameNode) {
  SharedNodeAnswers(350);  // when the query has moved on to the next slot
  discovery.SendCalRequests();
  for (int number = 1; number <= 48; ++number)
    EXPECT_EQ(FindNodeSlot(number)->program, number == 13 ? 299u : 0u) << number;
}

TEST_F(NodeDiscoveryTest, RepliesOnTheReceiveThreadOnlyReachSlotsOfTheAnsweringNode) {
  std::atomic<bool> queryDone{false};
  std::thread receiver([&] {
    while (!queryDone) {
      discovery.OnReply(CalReply(kSharedNodeResponse, kProgram299));
      std::this_thread::yield();
    }
  });
  discovery.SendCalRequests();
  queryDone = true;
  receiver.join();
  for (int number = 1; number <= 48; ++number) {
    const uint32_t program = FindNodeSlot(number)->program;
    EXPECT_TRUE(program == 0 || (IsSharedSlot(number) && program == 299)) << number << ": " << program;
  }
}

TEST_F(NodeDiscoveryTest, QueryOverADeadLinkOrWithoutAScreenStillRunsItsCourse) {
  screen.sendResult = false;
  discovery.SendCalRequests();
  EXPECT_EQ(screen.Sent().size(), 48u);
  for (const NodeSlot& slot : NodeTable) EXPECT_EQ(slot.program, 0u);
  SetTheScreen(nullptr);
  discovery.SendCalRequests();
  EXPECT_EQ(clock.TickCount(), 2 * 48u * 300u);
  EXPECT_FALSE(queryInProgress);
}

TEST_F(NodeDiscoveryTest, ReplyAfterTheQueryIsNotTaken) {
  discovery.SendCalRequests();
  discovery.OnReply(CalReply(kNodeResponseIdentifiers[47], kProgram299));
  EXPECT_EQ(NodeTable[47].program, 0u);
}

struct DecodingCase {
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
                         ::testing::Values(DecodingCase{kProgram299, 299, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0x95, 0xFF}, 149, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFB, 0xFF}, 251, true},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFB, 0x00}, 251, true},
                                           DecodingCase{{0xC0, 0x12, 0x34, 0xFF, 0xFF}, 255, false}));

class IgnoredReplyTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<CanMessage> {};

TEST_P(IgnoredReplyTest, ChangesNothing) {
  ReplyDuringQueryOf(12, GetParam());
  for (const NodeSlot& slot : NodeTable) EXPECT_EQ(slot.program, 0u);
  EXPECT_FALSE(program251Seen);
  EXPECT_TRUE(screen.Logs().empty());
}

// Another slot's node, the request's identifier, the ST10 bootloader's, and a
// reply that is not a Cal Reply.
INSTANTIATE_TEST_SUITE_P(Replies, IgnoredReplyTest,
                         ::testing::Values(CalReply(0x18EF1031, {0xC0, 0, 0, 0xFB, 0xFF}),
                                           CalReply(kSharedNodeRequest, {0xC0, 0, 0, 0xFB, 0xFF}),
                                           CalReply(0x18EF10F1, {0xC0, 0, 0, 0xFB, 0xFF}),
                                           CalReply(kSharedNodeResponse, {0xBF, 0, 0, 0xFB, 0xFF})));

TEST_F(NodeDiscoveryTest, ReplyWithQueryIndexOutsideTheTableIsIgnored) {
  queryInProgress = true;
  for (uint32_t index : {48u, 0xFFFFFFFFu}) {
    queryIndex = index;
    discovery.OnCalReply(CalReply(kSharedNodeResponse, {0xC0, 0, 0, 1, 0xFF}));
  }
  queryInProgress = false;
  EXPECT_TRUE(screen.Logs().empty());
}

}  // namespace
