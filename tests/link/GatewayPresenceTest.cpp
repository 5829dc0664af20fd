#include "link/GatewayPresence.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "RowName.h"
#include "system/Clock.h"

namespace {

using Step = GatewayPresence::Step;
constexpr uint32_t kIdle = GatewayPresence::kProbeIdleMs;
constexpr uint32_t kWindow = GatewayPresence::kProbeAnswerMs;

// The machine on the virtual clock, with the screen up and idle and a
// gateway that answered the start-up InfoRequest after answerMs.
class GatewayPresenceTest : public testing::Test {
 protected:
  GatewayPresenceTest() {
    presence.SetListener([this](const GatewayPresence::News& news) {
      told.push_back(news.present ? "back" : "gone: " + news.why + (news.showNotice ? " (shown)" : ""));
    });
  }
  void StartUp(uint32_t answerMs = 10) {
    presence.InfoAsked(Now());
    clock.Advance(answerMs);
    presence.InfoAnswered(Now());
    presence.CanFrameWritten(Now());  // the start-up query
    EXPECT_FALSE(presence.Release());  // the screen is up
  }
  static uint32_t Now() { return TickCount(); }
  Step LookAfter(uint32_t ms) {
    clock.Advance(ms);
    return presence.Look(Now(), true);
  }
  void Replug() {
    presence.Reopened();
    presence.InfoAsked(Now());
    presence.Acknowledged(Now());
  }
  std::vector<std::string> Told() {
    presence.Tell();
    return std::exchange(told, {});
  }

  VirtualClock clock;
  ScopedClock scoped{clock};
  GatewayPresence presence;
  std::vector<std::string> told;
};

// An unanswered probe reopens the channels and asks again. A restarted
// gateway answers only then: it is told gone and back, in that order, its
// nodes are wanted again and it is probed as before. One that answers no
// InfoRequest any more is silent both times and is not probed again.
class UnansweredProbe : public GatewayPresenceTest, public testing::WithParamInterface<bool> {};

TEST_P(UnansweredProbe, IsAskedOnceMoreOnReopenedChannels) {
  const bool restarted = GetParam();
  StartUp();
  EXPECT_EQ(LookAfter(kIdle - 1), Step::kNone);
  EXPECT_EQ(LookAfter(1), Step::kProbe);
  presence.InfoAsked(Now());
  EXPECT_EQ(LookAfter(kWindow), Step::kRecheck);
  presence.Acknowledged(Now());  // the reopening's Ack proves nothing yet
  clock.Advance(20);
  if (restarted) presence.InfoAnswered(Now());
  EXPECT_EQ(LookAfter(kWindow), Step::kNone);
  const std::vector<std::string> news = {"gone: the gateway did not answer (shown)", "back"};
  EXPECT_EQ(Told(), restarted ? news : std::vector<std::string>{});
  EXPECT_EQ(presence.RequeryWanted(), restarted);
  EXPECT_EQ(LookAfter(kIdle), restarted ? Step::kProbe : Step::kNone);
}

INSTANTIATE_TEST_SUITE_P(Link, UnansweredProbe, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& row) { return row.param ? "Restarted" : "Silent"; });

// Answers that end a probe without a verdict, looked at every 100 ms (a
// held frame wakes the link early).
struct Answer {
  const char* name;
  uint32_t answerMs;  // the InfoReply's delay, at start-up and to the probe
  bool heard;         // bus traffic comes instead, before the InfoReply
};

class ProbeAnswered : public GatewayPresenceTest, public testing::WithParamInterface<Answer> {};

TEST_P(ProbeAnswered, NeverCallsTheGatewayGone) {
  StartUp(GetParam().answerMs);
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(LookAfter(kIdle), Step::kProbe) << "round " << round;
    presence.InfoAsked(Now());
    for (uint32_t waited = 100; waited <= 3 * kWindow; waited += 100) {
      if (GetParam().heard && waited == kWindow - 100) presence.Heard(Now());
      if (waited == GetParam().answerMs) presence.InfoAnswered(Now());
      ASSERT_NE(LookAfter(100), Step::kRecheck) << "round " << round << ", " << waited << " ms";
    }
  }
  EXPECT_EQ(Told(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Link, ProbeAnswered,
                         testing::Values(Answer{"SlowInfoReply", 1200, false}, Answer{"TrafficHeard", 10, true}),
                         RowName());

// A run's long silent waits are never probed, and work that begins drops a
// probe under way.
TEST_F(GatewayPresenceTest, WorkIsNeverProbed) {
  StartUp();
  presence.Take();
  EXPECT_EQ(LookAfter(60000), Step::kNone);
  EXPECT_FALSE(presence.Release());
  EXPECT_EQ(LookAfter(0), Step::kProbe);
  presence.Take();
  EXPECT_EQ(LookAfter(3 * kWindow), Step::kNone);
  EXPECT_TRUE(Told().empty());
}

// After a reconnection the count of answers starts again: a gateway that
// has not answered since is not probed, and a probe out when the port went
// is forgotten.
TEST_F(GatewayPresenceTest, AReconnectedGatewayIsProbedOnlyOnceItAnswers) {
  StartUp();
  EXPECT_EQ(LookAfter(kIdle), Step::kProbe);
  presence.InfoAsked(Now());
  presence.Lost("Hangup");
  clock.Advance(1500);
  Replug();
  EXPECT_EQ(Told(), (std::vector<std::string>{"gone: Hangup (shown)", "back"}));
  EXPECT_EQ(LookAfter(kWindow), Step::kNone) << "the probe survived the loss";
  EXPECT_EQ(LookAfter(kIdle), Step::kNone) << "probed a gateway that never answered since";
  presence.InfoAnswered(Now());
  EXPECT_EQ(LookAfter(kIdle), Step::kProbe);
}

// News queued by one thread and told by another keeps its order; "Gateway
// lost" shows at once on a free line, otherwise when the last owner lets go.
// A return during a query asks for one query to follow it, which reads the
// info words again; returns before a query began are covered by it.
TEST_F(GatewayPresenceTest, TheScreenHearsTheNewsInOrderAndQueriesOnceAfterAReturn) {
  StartUp();
  presence.Take();  // a touch
  EXPECT_FALSE(presence.QueryBegins());
  presence.Lost("Hangup");
  presence.Reopened();
  presence.Acknowledged(Now());
  presence.Lost("Input/output error");
  EXPECT_EQ(Told(), (std::vector<std::string>{"gone: Hangup", "back", "gone: Input/output error"}));
  presence.Take();  // and a run it started
  EXPECT_FALSE(presence.Release());
  EXPECT_TRUE(presence.Release()) << "the last owner shows the notice";
  EXPECT_FALSE(presence.Release());
  presence.Take();
  Replug();
  EXPECT_TRUE(presence.RequeryWanted());
  EXPECT_FALSE(presence.Release()) << "back: nothing to show";
  EXPECT_EQ(Told(), std::vector<std::string>{"back"});
  EXPECT_TRUE(presence.FollowUpDue());
  EXPECT_FALSE(presence.FollowUpDue()) << "a second worker ending does not add a query";
  EXPECT_FALSE(presence.RequeryWanted()) << "the follow-up waits for its pause";
  EXPECT_TRUE(presence.FollowUpBegins());
  EXPECT_TRUE(presence.QueryBegins()) << "the info words are read again";
  EXPECT_FALSE(presence.FollowUpDue() || presence.RequeryWanted());
}

}  // namespace
