#include "nodes/NodeDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeScreen.h"
#include "RowName.h"
#include "console/DiscoveryFlags.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

constexpr uint32_t kLastRequest = 0x18EF3910;    // address 0x39, slot 43: the last address asked
constexpr uint32_t kSharedResponse = 0x18EF1030;

// A link that writes each frame holdMs after the one before it left, as one
// whose gateway acknowledges nothing does; endless, it never stops writing.
class LinkScreen : public FakeScreen {
 public:
  bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override {
    const uint32_t now = TickCount();
    writes.push_back(writes.empty() ? now : std::max(now, writes.back() + holdMs));
    return FakeScreen::SendCanMessage(message, extended, length);
  }
  uint32_t LastFrameWritten() override {
    auto left = std::upper_bound(writes.begin(), writes.end(), TickCount());
    return endless ? TickCount() : left == writes.begin() ? 0 : *(left - 1);
  }

  uint32_t holdMs = 0;
  bool endless = false;
  std::vector<uint32_t> writes;  // when each frame leaves
};

class NodeDiscoveryTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  ScopedClock useClock{clock};
  LinkScreen screen;
  NodeDiscovery discovery;
};

struct WindowCase {
  const char* name;
  uint32_t holdMs;    // the link's hold of each frame after the one before
  bool endless;       // the link never falls quiet
  uint32_t answerMs;  // the last address's answer after its request left
  bool found;
  uint32_t beyondMs;  // the query's end after the last request left, beyond the window
};

class ReplyWindowTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<WindowCase> {};

// The window runs 300 ms from the last request on the line, however late the
// link wrote it; the query ends with it and takes nothing after it. A link
// that never falls quiet holds it no longer than a lost Ack per request.
TEST_P(ReplyWindowTest, TheLastAddressIsFoundOnlyWithinTheWindowAfterItsRequestLeft) {
  screen.holdMs = GetParam().holdMs;
  screen.endless = GetParam().endless;
  // The last address's node, program 200, answers answerMs after its request left on the line.
  screen.onSend = [this](const CanMessage& request) {
    if (request.identifier != kLastRequest || request.data[0] != NodeDiscovery::kCalRequest) return;
    clock.Schedule(screen.writes.back() - TickCount() + GetParam().answerMs,
                   [this] { discovery.OnReply(FakeScreen::Received(0x18EF1039, {0xC0, 0, 0, 200, 0xFF})); });
  };
  discovery.SendCalRequests();
  EXPECT_EQ(TickCount(), screen.writes.back() + NodeDiscovery::kReplyWindowMs + GetParam().beyondMs);
  clock.Advance(NodeDiscovery::kReplyWindowMs);  // a late answer arrives after the query
  EXPECT_EQ(FindNodeSlot(43)->program, GetParam().found ? 200u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ReplyWindowTest,
    ::testing::Values(WindowCase{"Prompt", 0, false, 5, true, 0}, WindowCase{"AtTheLimit", 0, false, 299, true, 0},
                      WindowCase{"TooLate", 0, false, 301, false, 0},
                      WindowCase{"BehindLostAcks", 200, false, 5, true, 0},
                      WindowCase{"BehindLostAcksTooLate", 200, false, 301, false, 0},
                      WindowCase{"NeverQuiet", 0, true, 5, true, 32 * 200}),
    RowName());

struct DecodingCase {
  const char* name;
  std::vector<uint8_t> data;
  uint32_t program;
  bool generic;
};

class ReplyDecodingTest : public NodeDiscoveryTest, public ::testing::WithParamInterface<DecodingCase> {};

TEST_P(ReplyDecodingTest, ProgramNumberIsLowByteAndHighByteUnlessHighIsFF) {
  queryInProgress = true;
  discovery.OnCalReply(FakeScreen::Received(kSharedResponse, GetParam().data));
  queryInProgress = false;
  std::vector<std::string> expected;
  for (int slot : {12, 13, 20, 23, 27, 34}) {
    EXPECT_EQ(FindNodeSlot(slot)->program, GetParam().program);
    if (GetParam().program != 0)
      expected.push_back("Rx - Node Num: " + std::to_string(slot) +
                         ", Node ID: 18EF1030, Node Prog: " + std::to_string(GetParam().program));
  }
  EXPECT_EQ(program251Seen, GetParam().generic);
  EXPECT_EQ(screen.Logs(), expected);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyDecodingTest,
                         ::testing::Values(DecodingCase{"Program299", {0xC0, 0x00, 0x00, 0x2B, 0x01}, 299, false},
                                           DecodingCase{"Generic251", {0xC0, 0x00, 0x00, 0xFB, 0xFF}, 251, true},
                                           DecodingCase{"HighByteFF", {0xC0, 0x12, 0x34, 0xFF, 0xFF}, 255, false},
                                           DecodingCase{"NotACalReply", {0xC1, 0x00, 0x00, 0x2B, 0x01}, 0, false}),
                         RowName());

}  // namespace
