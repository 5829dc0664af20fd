#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// Wakes a thread that waits for an answer as soon as the answer is in. The
// thread that records an answer sets its flag, then calls Notify; the waiting
// thread names the condition it waits for and the longest it waits, on the
// installed clock, so tests can run the wait on virtual time.
class Waker {
 public:
  // Wakes every current waiter, who then tests its condition again.
  void Notify();
  // Waits until ready() holds or limitMs have passed; the result is ready().
  bool WaitFor(const std::function<bool()>& ready, uint32_t limitMs);
  // Blocks until ready() holds or the steady clock reaches deadline (clocks use this).
  bool BlockUntil(const std::function<bool()>& ready, std::chrono::steady_clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};
