#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "system/Waker.h"

// The main screen's worker threads (programming runs and node queries), kept
// so that the screen waits for them when it closes. Each worker first waits
// for the one before it: a worker may start its own successor, and waiting
// for the last one waits for all.
class ScreenWorker {
 public:
  ScreenWorker() = default;
  ~ScreenWorker() { Close(); }
  ScreenWorker(const ScreenWorker&) = delete;
  ScreenWorker& operator=(const ScreenWorker&) = delete;

  // Runs work on a new thread; false, and nothing runs, once closed.
  bool Start(std::function<void()> work);
  // On a worker: waits up to ms. False when cut short because another worker
  // was started or the screen closes.
  bool Pause(uint32_t ms);
  // No worker starts from now on and a pause ends at once; returns when the
  // last worker has ended. Never on a worker.
  void Close();

 private:
  std::mutex mutex_;
  std::thread last_;
  bool closed_ = false;
  Waker waker_;
};
