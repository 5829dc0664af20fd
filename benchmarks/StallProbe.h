#pragma once

#include <atomic>
#include <thread>

// A thread that only sleeps 2 ms at a time and notes every time it woke more
// than 20 ms late: how long the machine itself held its programs up (a busy
// host of a virtual machine, other jobs), beside which the runs' own figures
// are read.
class StallProbe {
 public:
  StallProbe();
  ~StallProbe();
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;

  int Stalls() const { return stalls_; }
  double LostMs() const { return lostMicros_ / 1000.0; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> stalls_{0};
  std::atomic<long> lostMicros_{0};
  std::thread thread_;
};
