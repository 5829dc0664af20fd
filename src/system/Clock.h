#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class Waker;

// The process-wide millisecond clock behind Sleep and TickCount. Real runs use
// the steady clock; tests install a VirtualClock so that waits of minutes pass
// in microseconds.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(uint32_t ms) = 0;
  virtual uint32_t TickCount() = 0;
  // Waits until ready() holds (tested again whenever waker is notified) or
  // limitMs have passed; the result is ready(). Use Waker::WaitFor.
  virtual bool Wait(Waker& waker, const std::function<bool()>& ready, uint32_t limitMs) = 0;
};

// Sleeps ms milliseconds on the installed clock; 0 yields the processor.
void Sleep(uint32_t ms);
// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t TickCount();
// Installs a clock for the whole process; nullptr restores the steady clock.
void SetClock(Clock* clock);
// The clock installed now.
Clock& InstalledClock();

class SteadyClock final : public Clock {
 public:
  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;
  bool Wait(Waker& waker, const std::function<bool()>& ready, uint32_t limitMs) override;
};

// A clock that only moves when someone sleeps or waits on it. Actions
// scheduled for a time run (outside the clock's lock) as soon as a Sleep
// reaches that time, so a fake peer can answer "7 s later" without any real
// waiting. A wait moves time from one scheduled action to the next and at
// last to its limit, ending as soon as its condition holds.
//
// A peer that answers on threads of its own, as the link does, holds the
// clock while an answer is on its way: time stands still until every hold is
// released, and a wait meanwhile ends as soon as the answer's flag is set.
class VirtualClock final : public Clock {
 public:
  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;
  bool Wait(Waker& waker, const std::function<bool()>& ready, uint32_t limitMs) override;
  void Advance(uint32_t ms);
  // Runs action once the clock reaches now + delayMs.
  void Schedule(uint32_t delayMs, std::function<void()> action);
  void Hold();
  void Release();

 private:
  struct Pending {
    uint64_t due;
    std::function<void()> action;
  };
  void RunDue();
  void AwaitRelease();
  bool Held();
  // The earliest scheduled time, or limit when nothing is due before it.
  uint64_t NextDue(uint64_t limit);

  std::atomic<uint64_t> now_{0};
  std::mutex mutex_;
  std::condition_variable released_;
  std::vector<Pending> pending_;
  int holds_ = 0;
  std::vector<Waker*> waiting_;
};

// Installs a clock for the lifetime of the guard (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock) { SetClock(&clock); }
  ~ScopedClock() { SetClock(nullptr); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};
