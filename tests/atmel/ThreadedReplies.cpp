#include "ThreadedReplies.h"

ThreadedReplies::ThreadedReplies(FakeScreen& screen) : handler_(std::move(screen.onSend)) {
  screen.onSend = [this](const CanMessage& message) {
    std::lock_guard lock(mutex_);
    queue_.push_back(message);
    changed_.notify_all();
  };
  thread_ = std::thread([this] { Run(); });
}

ThreadedReplies::~ThreadedReplies() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  thread_.join();
}

void ThreadedReplies::Sleep(uint32_t ms) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  now_ += ms;
}

uint32_t ThreadedReplies::TickCount() {
  std::lock_guard lock(mutex_);
  return now_;
}

void ThreadedReplies::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    CanMessage message = queue_.front();
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    handler_(message);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}
