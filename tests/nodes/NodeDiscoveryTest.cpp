#include "nodes/NodeDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "nodes/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "platform/Clock.h"
#include "tests/support/FakeScreen.h"

namespace {

constexpr uint32_t kSharedNodeRequest = 0x18EF3010;   // address 0x30
constexpr uint32_t kSharedNodeResponse = 0x18EF1030;
const std::vector<int> kSharedNodeSlots{12, 13, 20, 23, 27, 34};

CanMessage CalReply(uint32_t identifier, std::vector<uint8_t> data) {
  CanMessage reply;
  reply.identifier = identifier;
  reply.flags = CanMessage::kExtendedFlag;
  reply.length = static_cast<uint8_t>(data.size());
  for (size_t i = 0; i < data.size() && i < 8; ++i) reply.data[i] = data[i];
  return reply;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.starts_with(prefix)) found.push_back(line);
  return found;
}

class NodeDiscoveryTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  ScopedClock useClock{clock};
  FakeScreen screen;
  NodeDiscovery discovery;

  // Lets the node at an address answer its Cal Requests after a delay.
  void NodeAnswers(uint32_t request, uint32_t response, std::vector<uint8_t> data, uint32_t delayMs) {
    screen.onSend = [=, this](const CanMessage& sent) {
      if (sent.identifier != request || sent.data[0] != NodeDiscovery::kCalRequest) return;
      clock.Schedule(delayMs, [=, this] { discovery.OnReply(CalReply(response, data)); });
    };
  }

  // Answers one reply while the query stands at the given slot.
  void ReplyDuringQueryOf(int slotNumber, const CanMessage& reply) {
    queryInProgress = true;
    queryIndex = static_cast<uint32_t>(slotNumber - 1);
    discovery.OnCalReply(reply);
    queryInProgress = false;
  }
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
  std::vector<bool> inProgressAtSend;
  screen.onSend = [&](const CanMessage&) {
    sendTimes.push_back(clock.TickCount());
    indexesAtSend.push_back(queryIndex);
    inProgressAtSend.push_back(queryInProgress);
  };
  const uint32_t start = clock.TickCount();

  discovery.SendCalRequests();

  EXPECT_EQ(clock.TickCount() - start, 48u * 300u);
  EXPECT_FALSE(queryInProgress);
  const std::vector<CanMessage> sent = screen.Sent();
  ASSERT_EQ(sent.size(), 48u);
  for (uint32_t i = 0; i < 48; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(sent[i].identifier, kNodeRequestIdentifiers[i]);
    EXPECT_EQ(sent[i].flags & CanMessage::kExtendedFlag, 0) << "Cal Requests go out with the extended flag clear";
    EXPECT_EQ(sent[i].length, 1);
    EXPECT_EQ(sent[i].data[0], 0xBF);
    EXPECT_EQ(sendTimes[i] - start, i * 300);
    EXPECT_EQ(indexesAtSend[i], i);
    EXPECT_TRUE(inProgressAtSend[i]);
  }
}

TEST_F(NodeDiscoveryTest, QueryLogsItsStartAndOneTxLinePerSlot) {
  discovery.SendCalRequests();

  const std::vector<std::string> logs = screen.Logs();
  ASSERT_EQ(logs.size(), 49u);
  EXPECT_EQ(logs[0], "Sending Cal Request:");
  EXPECT_EQ(logs[1], "Tx - Node Num: 1, Node ID: 18EF0110, Node Name: Alpha Node 1");
  EXPECT_EQ(logs[12], "Tx - Node Num: 12, Node ID: 18EF3010, Node Name: Gamma Node");
  EXPECT_EQ(logs[48], "Tx - Node Num: 48, Node ID: 18EF3510, Node Name: Omicron Node");
  for (int i = 0; i < 48; ++i) {
    char expected[320];
    std::snprintf(expected, sizeof expected, "Tx - Node Num: %d, Node ID: %X, Node Name: %s", i + 1,
                  kNodeRequestIdentifiers[i], NodeTable[i].name);
    EXPECT_EQ(logs[i + 1], expected);
  }
}

TEST_F(NodeDiscoveryTest, NodeAtSharedAddressFillsAllSixOfItsSlots) {
  NodeAnswers(kSharedNodeRequest, kSharedNodeResponse, {0xC0, 0x00, 0x00, 0x2B, 0x01}, 40);

  discovery.SendCalRequests();

  for (int number = 1; number <= 48; ++number) {
    const bool shared = std::find(kSharedNodeSlots.begin(), kSharedNodeSlots.end(), number) != kSharedNodeSlots.end();
    EXPECT_EQ(FindNodeSlot(number)->program, shared ? 299u : 0u) << number;
  }
  const std::vector<std::string> rx = LinesStartingWith(screen.Logs(), "Rx - ");
  ASSERT_EQ(rx.size(), 6u);
  EXPECT_EQ(rx[0], "Rx - Node Num: 12, Node ID: 18EF1030, Node Prog: 299");
  EXPECT_EQ(rx[5], "Rx - Node Num: 34, Node ID: 18EF1030, Node Prog: 299");
  EXPECT_TRUE(discovery.IsProgramOnline(299));
}

TEST_F(NodeDiscoveryTest, LateReplyCountsOnlyForANextSlotOfTheSameNode) {
  // Answers 350 ms late, when the query has moved on to the next slot.
  NodeAnswers(kSharedNodeRequest, kSharedNodeResponse, {0xC0, 0x00, 0x00, 0x2B, 0x01}, 350);

  discovery.SendCalRequests();

  for (int number = 1; number <= 48; ++number)
    EXPECT_EQ(FindNodeSlot(number)->program, number == 13 ? 299u : 0u) << number;
}

TEST_F(NodeDiscoveryTest, RepliesOnTheReceiveThreadOnlyReachSlotsOfTheAnsweringNode) {
  std::atomic<bool> queryDone{false};
  std::thread receiver([&] {
    while (!queryDone) {
      discovery.OnReply(CalReply(kSharedNodeResponse, {0xC0, 0x00, 0x00, 0x2B, 0x01}));
      std::this_thread::yield();
    }
  });

  discovery.SendCalRequests();
  queryDone = true;
  receiver.join();

  for (int number = 1; number <= 48; ++number) {
    const bool shared = std::find(kSharedNodeSlots.begin(), kSharedNodeSlots.end(), number) != kSharedNodeSlots.end();
    const uint32_t program = FindNodeSlot(number)->program;
    EXPECT_TRUE(program == 0 || (shared && program == 299)) << number << ": " << program;
  }
}

TEST_F(NodeDiscoveryTest, SilentBusOrDeadLinkLeavesEveryProgramAtZero) {
  screen.sendResult = false;
  const uint32_t start = clock.TickCount();

  discovery.SendCalRequests();

  EXPECT_EQ(screen.Sent().size(), 48u);
  EXPECT_EQ(clock.TickCount() - start, 48u * 300u);
  for (const NodeSlot& slot : NodeTable) EXPECT_EQ(slot.program, 0u);
  EXPECT_TRUE(LinesStartingWith(screen.Logs(), "Rx - ").empty());
}

TEST_F(NodeDiscoveryTest, ReplyAfterTheQueryIsNotTaken) {
  discovery.SendCalRequests();
  discovery.OnReply(CalReply(kNodeResponseIdentifiers[47], {0xC0, 0, 0, 0x2B, 0x01}));
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
  const std::vector<std::string> logs = screen.Logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0], "Rx - Node Num: 12, Node ID: 18EF1030, Node Prog: " + std::to_string(GetParam().program));
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyDecodingTest,
                         ::testing::Values(DecodingCase{{0xC0, 0x00, 0x00, 0x2B, 0x01}, 299, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0x95, 0xFF}, 149, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFB, 0xFF}, 251, true},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFB, 0x00}, 251, true},
                                           DecodingCase{{0xC0, 0x12, 0x34, 0xFF, 0xFF}, 255, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0x00, 0x01}, 256, false},
                                           DecodingCase{{0xC0, 0x00, 0x00, 0xFF, 0xFE}, 65279, false}));

struct IgnoredCase {
  const char* what;
  uint32_t identifier;
  uint8_t first;
};

class IgnoredReplyTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredReplyTest, ChangesNothing) {
  SCOPED_TRACE(GetParam().what);
  NodeTable[11].program = 7;
  ReplyDuringQueryOf(12, CalReply(GetParam().identifier, {GetParam().first, 0x00, 0x00, 0xFB, 0xFF}));

  for (int index = 0; index < kNodeSlotCount; ++index) EXPECT_EQ(NodeTable[index].program, index == 11 ? 7u : 0u);
  EXPECT_FALSE(program251Seen);
  EXPECT_TRUE(screen.Logs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, IgnoredReplyTest,
    ::testing::Values(IgnoredCase{"another slot's identifier", 0x18EF1031, 0xC0},
                      IgnoredCase{"the request identifier", kSharedNodeRequest, 0xC0},
                      IgnoredCase{"the ST10 bootloader", 0x18EF10F1, 0xC0},
                      IgnoredCase{"a standard identifier", 0x030, 0xC0},
                      IgnoredCase{"not a Cal Reply", kSharedNodeResponse, 0xBF},
                      IgnoredCase{"an empty first byte", kSharedNodeResponse, 0x00}));

TEST_F(NodeDiscoveryTest, ReplyWithQueryIndexOutsideTheTableIsIgnored) {
  queryInProgress = true;
  for (uint32_t index : {48u, 1000u, 0xFFFFFFFFu}) {
    queryIndex = index;
    discovery.OnCalReply(CalReply(kSharedNodeResponse, {0xC0, 0, 0, 1, 0xFF}));
  }
  queryInProgress = false;
  EXPECT_TRUE(screen.Logs().empty());
}

TEST_F(NodeDiscoveryTest, QueryWithoutAScreenStillRunsItsCourse) {
  SetTheScreen(nullptr);
  const uint32_t start = clock.TickCount();
  discovery.SendCalRequests();
  EXPECT_EQ(clock.TickCount() - start, 48u * 300u);
  EXPECT_FALSE(queryInProgress);
}

}  // namespace
