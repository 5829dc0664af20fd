#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

// The bench's timers, in microseconds of its own time. The event loop moves
// the time along with the steady clock; tests move it by hand, so a 120 s
// erase passes at once. Actions due at the same time run in the order in
// which they were scheduled.
class Scheduler {
 public:
  using Action = std::function<void()>;

  uint64_t Now() const { return now_; }
  void After(uint64_t delayUs, Action action);
  // Runs, in time order, every action due up to the time, including those
  // that the actions themselves schedule within it.
  void AdvanceTo(uint64_t timeUs);
  void Advance(uint64_t us) { AdvanceTo(now_ + us); }
  std::optional<uint64_t> NextDue() const;

 private:
  std::multimap<uint64_t, Action> pending_;
  uint64_t now_ = 0;
};
