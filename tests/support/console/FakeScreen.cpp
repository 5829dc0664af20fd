#include "FakeScreen.h"

bool FakeScreen::SendCanMessage(CanMessage& message, bool extended, uint8_t length) {
  if (extended)
    message.flags |= CanMessage::kExtendedFlag;
  else
    message.flags &= ~CanMessage::kExtendedFlag;
  message.length = length;
  if (onSend) onSend(message);
  return true;
}

// Frames go as they are queued: the time a frame was queued is all there is.
uint32_t FakeScreen::LastFrameWritten() { return 0; }

void FakeScreen::Log(const char* text) {
  std::lock_guard lock(mutex_);
  logs_.emplace_back(text);
}

void FakeScreen::ShowStatus(const char* text) { Log(text); }

void FakeScreen::SetProgress(int) {}

void FakeScreen::SetProgressVisible(bool) {}

void FakeScreen::ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) {
  if (onTimeLeft) onTimeLeft(nodeMs, wholeNodeMs);
}

void FakeScreen::ShowMessage(const char* title, const char* text) {
  Log(text);
  std::lock_guard lock(mutex_);
  messages_.push_back({title, text});
}

bool FakeScreen::AskYesNo(const char* title, const char* text) {
  std::lock_guard lock(mutex_);
  questions_.push_back({title, text});
  if (answers.empty()) return false;
  bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::vector<std::string> FakeScreen::Logs() const {
  std::lock_guard lock(mutex_);
  return logs_;
}

std::vector<FakeScreen::Box> FakeScreen::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<FakeScreen::Box> FakeScreen::Questions() const {
  std::lock_guard lock(mutex_);
  return questions_;
}
