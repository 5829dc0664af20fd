#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "Bench.h"
#include "BenchOptions.h"
#include "ControlFifo.h"
#include "PseudoTerminal.h"

// canbench's single-threaded event loop: the pty, the control FIFO and the
// bench's timers under one poll(), which sleeps to the microsecond (a bus
// frame lasts about half a millisecond). With a line baud rate, the bytes of
// each direction queue on the serial line for their time on it. Also usable
// in-process: Open, then Run on a thread of the test's own, and RequestStop
// to end it.
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
  static constexpr uint64_t kSpinUs = 100;  // polled, not slept, before a timer
  // What the gateway can hold of its frames for the console while the line
  // carries those before them: a dozen CAN frames, as a small gateway might.
  static constexpr uint64_t kGatewayBufferBytes = 256;

  uint64_t ElapsedUs() const;
  void CatchUp() { bench_.scheduler().AdvanceTo(ElapsedUs()); }
  int Poll(pollfd* fds, nfds_t count, uint64_t now) const;
  void ReadHost();
  void FromHost(const uint8_t* bytes, size_t count);
  void ToHost(const uint8_t* bytes, size_t count);
  uint64_t LineDelayUs(uint64_t& freeAt, size_t count);
  uint64_t BytesWaitingForHost() const;
  void OnControlLine(const std::string& line);
  void SetPlugged(bool plugged);

  BenchOptions options_;
  PseudoTerminal pty_;
  ControlFifo control_;
  Bench bench_;
  std::chrono::steady_clock::time_point start_;
  int wake_[2] = {-1, -1};
  bool stopping_ = false;
  uint64_t toBenchFreeAt_ = 0;  // when the line towards the bench is free again
  uint64_t toHostFreeAt_ = 0;   // and the one towards the host
  uint32_t lineEpoch_ = 0;      // counts renewed ptys: bytes in flight die with theirs
};
