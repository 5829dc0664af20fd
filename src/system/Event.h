#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A manual-reset event: once Set it stays signalled, releasing every waiter,
// until Reset. The name is kept for diagnostics only.
class Event {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFF;

  explicit Event(const char* name = "") : name_(name) {}
  void Set();
  void Reset();
  // True when the event was signalled within timeoutMs (real time).
  bool Wait(uint32_t timeoutMs = kInfinite);
  const char* Name() const { return name_; }

 private:
  const char* name_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};
