#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "FakeScreen.h"
#include "platform/Clock.h"

// Moves a fake node's answers to a thread of their own, as the link's receive
// thread delivers them, and serves as the clock: a Sleep returns once every
// frame sent so far has been answered, so runs are exact without real waits.
class ThreadedReplies final : public Clock {
 public:
  // Takes over screen.onSend; the handler it held runs on the new thread.
  explicit ThreadedReplies(FakeScreen& screen);
  ~ThreadedReplies() override;
  ThreadedReplies(const ThreadedReplies&) = delete;
  ThreadedReplies& operator=(const ThreadedReplies&) = delete;

  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;

 private:
  void Run();

  std::function<void(const CanMessage&)> handler_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<CanMessage> queue_;
  bool busy_ = false;
  bool stop_ = false;
  uint32_t now_ = 0;
  std::thread thread_;
};
