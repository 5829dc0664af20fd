#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "Bench.h"
#include "BenchOptions.h"
#include "ControlFifo.h"
#include "PseudoTerminal.h"

// canbench's single-threaded event loop: the pty, the control FIFO and the
// bench's timers under one poll(). Also usable in-process: Open, then Run on
// a thread of the test's own, and RequestStop to end it.
class BenchLoop {
 public:
  explicit BenchLoop(const BenchOptions& options);
  ~BenchLoop();
  BenchLoop(const BenchLoop&) = delete;
  BenchLoop& operator=(const BenchLoop&) = delete;

  // Creates the pty and its link, the control FIFO and the trace.
  bool Open(std::string& error);
  // Runs until RequestStop, "quit" or the time limit; 0 on a clean end.
  int Run();
  // Safe from any thread and from a signal handler.
  void RequestStop();

 private:
  uint64_t ElapsedUs() const;
  int PollTimeoutMs(uint64_t now) const;
  void ReadHost();
  void OnControlLine(const std::string& line);
  void SetPlugged(bool plugged);

  BenchOptions options_;
  PseudoTerminal pty_;
  ControlFifo control_;
  Bench bench_;
  std::chrono::steady_clock::time_point start_;
  int wake_[2] = {-1, -1};
  bool stopping_ = false;
};
