#include "app/WorkCoordinator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A touch the moment a worker's final status shows is taken: it waits for
// the hand-back instead of finding the screen still owned. The last words
// linger so that a touch racing them would be caught.
TEST(WorkCoordinatorTest, ATouchDuringTheLastWordsIsTakenOnceTheyEnd) {
  WorkCoordinator work;
  EXPECT_FALSE(work.Free()) << "a touch during start-up";
  work.HandBack([] {});  // the screen is up
  ASSERT_TRUE(work.Claim());
  EXPECT_FALSE(work.Claim()) << "a second owner";
  EXPECT_FALSE(work.Free()) << "a touch during the work";
  std::atomic<bool> shown{false};
  std::thread worker([&] {
    work.HandBack([&] {
      shown = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
  });
  while (!shown) std::this_thread::yield();
  EXPECT_TRUE(work.Free()) << "the touch right after the final status was ignored";
  worker.join();
  EXPECT_TRUE(work.Claim());
}

}  // namespace
