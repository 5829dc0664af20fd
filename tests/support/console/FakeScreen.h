#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "console/ProgramScreen.h"

// A stand-in for the main screen: records what the code under test logs and
// the boxes it shows. onSend lets a test play the node: it sees each frame
// as queued and may answer (directly or scheduled on a VirtualClock).
class FakeScreen : public ProgramScreen {
 public:
  struct Box {
    std::string title;
    std::string text;
  };

  FakeScreen() { SetTheScreen(this); }
  ~FakeScreen() override { SetTheScreen(nullptr); }

  bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override;
  uint32_t LastFrameWritten() override;
  void Log(const char* text) override;
  void ShowStatus(const char* text) override;
  void SetProgress(int value) override;
  void SetProgressVisible(bool visible) override;
  void ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) override;
  void ShowMessage(const char* title, const char* text) override;
  bool AskYesNo(const char* title, const char* text) override;

  // Snapshots, safe while other threads still report.
  std::vector<std::string> Logs() const;
  std::vector<Box> Messages() const;
  std::vector<Box> Questions() const;

  std::function<void(const CanMessage&)> onSend;
  std::function<void(uint32_t nodeMs, uint32_t wholeNodeMs)> onTimeLeft;
  std::deque<bool> answers;  // YES/NO answers, in order; NO once exhausted

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> logs_;
  std::vector<Box> messages_;
  std::vector<Box> questions_;
};
