#include "system/Clock.h"

#include <sys/prctl.h>

#include <chrono>
#include <thread>

namespace {
SteadyClock steadyClock;
std::atomic<Clock*> installed{&steadyClock};
}  // namespace

void Sleep(uint32_t ms) { installed.load(std::memory_order_acquire)->Sleep(ms); }

uint32_t TickCount() { return installed.load(std::memory_order_acquire)->TickCount(); }

void SetClock(Clock* clock) { installed.store(clock ? clock : &steadyClock, std::memory_order_release); }

// The engines pace their frames with thousands of 3 and 10 ms sleeps, to each
// of which the kernel's default timer slack would add up to 50 us, close to a
// percent of an Atmel run: a thread's first sleep asks for sleeps on time.
void SteadyClock::Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
  static_cast<void>(precise);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t SteadyClock::TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void VirtualClock::Sleep(uint32_t ms) {
  Advance(ms);
  std::this_thread::yield();
}

uint32_t VirtualClock::TickCount() { return static_cast<uint32_t>(now_.load()); }

void VirtualClock::Advance(uint32_t ms) {
  now_ += ms;
  RunDue();
}

void VirtualClock::Schedule(uint32_t delayMs, std::function<void()> action) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back({now_.load() + delayMs, std::move(action)});
  }
  if (delayMs == 0) RunDue();
}

void VirtualClock::RunDue() {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard lock(mutex_);
    uint64_t now = now_.load();
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->due <= now) {
        due.push_back(std::move(it->action));
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& action : due) action();
}
