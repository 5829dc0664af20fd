#include "system/Waker.h"

#include "system/Clock.h"

// The empty critical section orders Notify after a waiter's test of its
// condition, so a flag set just before Notify is never slept through.
void Waker::Notify() {
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

bool Waker::WaitFor(const std::function<bool()>& ready, uint32_t limitMs) {
  return InstalledClock().Wait(*this, ready, limitMs);
}

bool Waker::BlockUntil(const std::function<bool()>& ready, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline, ready);
}
