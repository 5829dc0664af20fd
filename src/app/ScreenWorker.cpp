#include "app/ScreenWorker.h"

bool ScreenWorker::Start(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    last_ = std::thread([previous = std::move(last_), work = std::move(work)]() mutable {
      if (previous.joinable()) previous.join();
      work();
    });
  }
  waker_.Notify();  // the one before, if pausing, gives way
  return true;
}

bool ScreenWorker::Pause(uint32_t ms) {
  const std::thread::id self = std::this_thread::get_id();
  return !waker_.WaitFor(
      [&] {
        std::lock_guard lock(mutex_);
        return closed_ || last_.get_id() != self;
      },
      ms);
}

void ScreenWorker::Close() {
  std::thread last;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    last = std::move(last_);
  }
  waker_.Notify();
  if (last.joinable()) last.join();
}
