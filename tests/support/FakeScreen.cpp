#include "FakeScreen.h"

bool FakeScreen::SendCanMessage(CanMessage& message, bool extended, uint8_t length) {
  if (extended)
    message.flags |= CanMessage::kExtendedFlag;
  else
    message.flags &= ~CanMessage::kExtendedFlag;
  message.length = length;
  {
    std::lock_guard lock(mutex_);
    sent_.push_back(message);
  }
  if (onSend) onSend(message);
  return sendResult;
}

void FakeScreen::Log(const char* text) {
  std::lock_guard lock(mutex_);
  logs_.emplace_back(text);
}

void FakeScreen::ShowStatus(const char* text) {
  Log(text);
  std::lock_guard lock(mutex_);
  statuses_.emplace_back(text);
}

void FakeScreen::SetProgress(int value) {
  std::lock_guard lock(mutex_);
  progress_.push_back(value);
}

void FakeScreen::SetProgressVisible(bool visible) { progressVisible = visible; }

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

std::vector<CanMessage> FakeScreen::Sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}
std::vector<std::string> FakeScreen::Logs() const {
  std::lock_guard lock(mutex_);
  return logs_;
}
std::vector<std::string> FakeScreen::Statuses() const {
  std::lock_guard lock(mutex_);
  return statuses_;
}
std::vector<int> FakeScreen::Progress() const {
  std::lock_guard lock(mutex_);
  return progress_;
}
std::vector<FakeScreen::Box> FakeScreen::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}
std::vector<FakeScreen::Box> FakeScreen::Questions() const {
  std::lock_guard lock(mutex_);
  return questions_;
}
