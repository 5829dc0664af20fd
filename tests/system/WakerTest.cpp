#include "system/Waker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RowName.h"
#include "system/Clock.h"

namespace {

constexpr uint32_t kLimitMs = 2001;
constexpr int kNever = -1;

struct WaitCase {
  const char* name;
  int scheduledAt;  // virtual time at which a scheduled action sets the flag
  bool fromThread;  // the flag is set on another thread while the clock is held
  bool setsFlag;
  bool ready;
  uint32_t endsAt;
};

class VirtualWaitTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(VirtualWaitTest, EndsOnTheFlagOrAtTheLimit) {
  const WaitCase& c = GetParam();
  VirtualClock clock;
  ScopedClock installed(clock);
  Waker waker;
  std::atomic<bool> flag{false};
  const auto set = [&] {
    flag = c.setsFlag;
    waker.Notify();
  };
  if (c.scheduledAt != kNever) clock.Schedule(static_cast<uint32_t>(c.scheduledAt), set);
  clock.Schedule(5000, [] {});  // later actions must not pull the limit along
  std::jthread answer;
  if (c.fromThread) {
    clock.Hold();
    answer = std::jthread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      set();
      clock.Release();
    });
  }
  EXPECT_EQ(waker.WaitFor([&] { return flag.load(); }, kLimitMs), c.ready);
  EXPECT_EQ(clock.TickCount(), c.endsAt);
}

INSTANTIATE_TEST_SUITE_P(Cases, VirtualWaitTest,
                         ::testing::Values(WaitCase{"Scheduled", 700, false, true, true, 700},
                                           WaitCase{"AtTheLimit", 2001, false, true, true, 2001},
                                           WaitCase{"PastTheLimit", 2002, false, true, false, 2001},
                                           WaitCase{"FromAThread", kNever, true, true, true, 0},
                                           WaitCase{"ThreadWithoutTheFlag", kNever, true, false, false, 2001}),
                         RowName());

// A waiter that is never woken would sit out its limit of 49 days.
TEST(SteadyWaitTest, NotifyWakesTheWaiter) {
  Waker waker;
  std::atomic<bool> flag{false};
  std::jthread answer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    flag = true;
    waker.Notify();
  });
  EXPECT_TRUE(waker.WaitFor([&] { return flag.load(); }, 0xFFFFFFFF));
}

}  // namespace
