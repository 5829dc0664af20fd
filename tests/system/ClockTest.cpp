#include "system/Clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "system/Event.h"

namespace {

TEST(VirtualClockTest, SleepsMoveTimeWithoutWaiting) {
  VirtualClock clock;
  ScopedClock installed(clock);
  uint32_t start = TickCount();
  Sleep(120000);
  Sleep(14400);
  EXPECT_EQ(TickCount() - start, 134400u);
}

TEST(VirtualClockTest, ScheduledActionsRunWhenTheirTimeIsReached) {
  VirtualClock clock;
  ScopedClock installed(clock);
  std::vector<uint32_t> ranAt;
  clock.Schedule(7000, [&] { ranAt.push_back(TickCount()); });
  clock.Schedule(0, [&] { ranAt.push_back(TickCount()); });
  EXPECT_EQ(ranAt, (std::vector<uint32_t>{0}));
  for (int i = 0; i < 699; ++i) Sleep(10);
  EXPECT_EQ(ranAt.size(), 1u);
  Sleep(10);
  EXPECT_EQ(ranAt, (std::vector<uint32_t>{0, 7000}));
}

TEST(VirtualClockTest, AnActionMayScheduleAnother) {
  VirtualClock clock;
  ScopedClock installed(clock);
  int runs = 0;
  clock.Schedule(5, [&] {
    ++runs;
    clock.Schedule(5, [&] { ++runs; });
  });
  Sleep(5);
  Sleep(5);
  EXPECT_EQ(runs, 2);
}

TEST(SteadyClockTest, RestoredAfterTheGuard) {
  {
    VirtualClock clock;
    ScopedClock installed(clock);
    EXPECT_EQ(TickCount(), 0u);
  }
  uint32_t before = TickCount();
  Sleep(2);
  EXPECT_GE(TickCount() - before, 2u);
}

TEST(EventTest, StaysSignalledUntilReset) {
  Event event("CDTEST");
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));
  event.Reset();
  EXPECT_FALSE(event.Wait(1));
}

TEST(EventTest, ReleasesAWaiterOnAnotherThread) {
  Event event;
  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait());
  setter.join();
}

}  // namespace
