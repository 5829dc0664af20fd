#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "console/ProgramScreen.h"

// The next of a test's scripted answers, the fallback once they run out.
template <typename T>
T NextOf(std::deque<T>& script, T fallback) {
  if (script.empty()) return fallback;
  fallback = script.front();
  script.pop_front();
  return fallback;
}

// A stand-in for the main screen: records what the code under test logs and
// the boxes it shows. onSend lets a test play the node: it sees each frame
// as queued and may answer (directly or scheduled on a VirtualClock).
class FakeScreen : public ProgramScreen {
 public:
  struct Box {
    std::string title;
    std::string text;
    bool operator==(const Box&) const = default;
  };

  // An extended frame carrying these bytes, as the link hands one on.
  static CanMessage Received(uint32_t identifier, const std::vector<uint8_t>& data);

  FakeScreen() { SetTheScreen(this); }
  ~FakeScreen() override { SetTheScreen(nullptr); }

  bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override;
  // Frames go as they are queued: the time a frame was queued is all there is.
  uint32_t LastFrameWritten() override { return 0; }
  uint32_t LineFaults() override { return lineFaults; }
  void Log(const char* text) override;
  void ShowStatus(const char* text) override { Log(text); }
  void SetProgress(int) override {}
  void SetProgressVisible(bool) override {}
  void ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) override {
    if (onTimeLeft) onTimeLeft(nodeMs, wholeNodeMs);
  }
  void ShowMessage(const char* title, const char* text) override;
  bool AskYesNo(const char* title, const char* text) override;

  // Snapshots, safe while other threads still report.
  std::vector<std::string> Logs() const { return Snapshot(logs_); }
  std::vector<Box> Messages() const { return Snapshot(messages_); }
  std::vector<Box> Questions() const { return Snapshot(questions_); }

  std::function<void(const CanMessage&)> onSend;
  std::function<void(uint32_t nodeMs, uint32_t wholeNodeMs)> onTimeLeft;
  std::deque<bool> answers;  // YES/NO answers, in order; NO once exhausted
  std::atomic<uint32_t> lineFaults{0};

 private:
  template <typename T>
  T Snapshot(const T& reports) const {
    std::lock_guard lock(mutex_);
    return reports;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> logs_;
  std::vector<Box> messages_;
  std::vector<Box> questions_;
};
