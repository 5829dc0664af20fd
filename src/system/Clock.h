#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// The process-wide millisecond clock behind Sleep and TickCount. Real runs use
// the steady clock; tests install a VirtualClock so that waits of minutes pass
// in microseconds.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(uint32_t ms) = 0;
  virtual uint32_t TickCount() = 0;
};

// Sleeps ms milliseconds on the installed clock; 0 yields the processor.
void Sleep(uint32_t ms);
// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t TickCount();
// Installs a clock for the whole process; nullptr restores the steady clock.
void SetClock(Clock* clock);

class SteadyClock final : public Clock {
 public:
  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;
};

// A clock that only moves when someone sleeps on it. Actions scheduled for a
// time run (outside the clock's lock) as soon as a Sleep reaches that time, so
// a fake peer can answer "7 s later" without any real waiting.
class VirtualClock final : public Clock {
 public:
  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;
  void Advance(uint32_t ms);
  // Runs action once the clock reaches now + delayMs.
  void Schedule(uint32_t delayMs, std::function<void()> action);

 private:
  struct Pending {
    uint64_t due;
    std::function<void()> action;
  };
  void RunDue();

  std::atomic<uint64_t> now_{0};
  std::mutex mutex_;
  std::vector<Pending> pending_;
};

// Installs a clock for the lifetime of the guard (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock) { SetClock(&clock); }
  ~ScopedClock() { SetClock(nullptr); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};
