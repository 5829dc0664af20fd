#include "system/Clock.h"

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "system/Waker.h"

namespace {
SteadyClock steadyClock;
std::atomic<Clock*> installed{&steadyClock};

// The engines pace their frames with thousands of 10 ms sleeps, to each of
// which the kernel's default timer slack would add up to 50 us, close to a
// percent of an Atmel run: a thread's first sleep or wait asks for timers on time.
void AskForTimersOnTime() {
  static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
  static_cast<void>(precise);
}

}  // namespace

void Sleep(uint32_t ms) { installed.load(std::memory_order_acquire)->Sleep(ms); }

uint32_t TickCount() { return installed.load(std::memory_order_acquire)->TickCount(); }

void SetClock(Clock* clock) { installed.store(clock ? clock : &steadyClock, std::memory_order_release); }

Clock& InstalledClock() { return *installed.load(std::memory_order_acquire); }

void SteadyClock::Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  AskForTimersOnTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t SteadyClock::TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool SteadyClock::Wait(Waker& waker, const std::function<bool()>& ready, uint32_t limitMs) {
  AskForTimersOnTime();
  return waker.BlockUntil(ready, std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs));
}

void VirtualClock::Sleep(uint32_t ms) {
  AwaitRelease();
  Advance(ms);
  std::this_thread::yield();
}

bool VirtualClock::Wait(Waker& waker, const std::function<bool()>& ready, uint32_t limitMs) {
  const uint64_t limit = now_.load() + limitMs;
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(&waker);
  }
  // Real time passes only while an answer is on its way; a day stands for "until it lands".
  const auto landed = [&] { return ready() || !Held(); };
  for (;;) {
    while (!landed()) waker.BlockUntil(landed, std::chrono::steady_clock::now() + std::chrono::hours(24));
    const uint64_t now = now_.load();
    if (ready() || now >= limit) break;
    Advance(static_cast<uint32_t>(NextDue(limit) - now));
  }
  {
    std::lock_guard lock(mutex_);
    waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &waker));
  }
  return ready();
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

void VirtualClock::Hold() {
  std::lock_guard lock(mutex_);
  ++holds_;
}

void VirtualClock::Release() {
  std::vector<Waker*> waiting;
  {
    std::lock_guard lock(mutex_);
    --holds_;
    waiting = waiting_;
  }
  released_.notify_all();
  for (Waker* waker : waiting) waker->Notify();
}

void VirtualClock::AwaitRelease() {
  std::unique_lock lock(mutex_);
  released_.wait(lock, [this] { return holds_ == 0; });
}

bool VirtualClock::Held() {
  std::lock_guard lock(mutex_);
  return holds_ > 0;
}

uint64_t VirtualClock::NextDue(uint64_t limit) {
  std::lock_guard lock(mutex_);
  uint64_t next = limit;
  for (const Pending& pending : pending_) next = std::min(next, pending.due);
  return std::max(next, now_.load());
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
