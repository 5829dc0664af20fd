#include "can/ReplyRouting.h"

#include <gtest/gtest.h>

#include <vector>

#include "FakeScreen.h"
#include "can/ProgramScreen.h"

namespace {

struct Recorder : ReplyConsumer {
  void OnReply(CanMessage message) override { received.push_back(message.identifier); }
  std::vector<uint32_t> received;
};

struct RoutingCase {
  uint32_t identifier;
  bool queryInProgress;
  bool toDiscovery, toSt10, toAtmel;
};

class ReplyRoutingTest : public ::testing::TestWithParam<RoutingCase> {};

TEST_P(ReplyRoutingTest, ReachesItsConsumers) {
  const RoutingCase& c = GetParam();
  Recorder discovery, st10, atmel;
  CanMessage message;
  message.identifier = c.identifier;
  RouteReply(message, c.queryInProgress, discovery, st10, atmel);
  EXPECT_EQ(discovery.received.size(), c.toDiscovery ? 1u : 0u);
  EXPECT_EQ(st10.received.size(), c.toSt10 ? 1u : 0u);
  EXPECT_EQ(atmel.received.size(), c.toAtmel ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Frames, ReplyRoutingTest,
                         ::testing::Values(RoutingCase{0x18EF10F1, false, false, true, false},
                                           RoutingCase{0x18EF10F1, true, true, true, false},
                                           RoutingCase{5, false, false, false, true},
                                           RoutingCase{0x18EF1001, true, true, false, true},
                                           RoutingCase{0, false, false, false, true}));

TEST(EntryPointsTest, ReachTheScreenOnlyWhileOneIsSet) {
  CanMessage message;
  EXPECT_FALSE(SendCan(message, false, 1));
  WriteLog("dropped");
  FakeScreen screen;
  EXPECT_TRUE(SendCan(message, true, 3));
  WriteLog("Erasing");
  ASSERT_EQ(screen.Sent().size(), 1u);
  EXPECT_EQ(screen.Sent()[0].flags & CanMessage::kExtendedFlag, CanMessage::kExtendedFlag);
  EXPECT_EQ(screen.Sent()[0].length, 3);
  EXPECT_EQ(screen.Statuses(), std::vector<std::string>{"Erasing"});
}

}  // namespace
