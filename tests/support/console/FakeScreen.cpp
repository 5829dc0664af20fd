#include "FakeScreen.h"

#include <algorithm>

CanMessage FakeScreen::Received(uint32_t identifier, const std::vector<uint8_t>& data) {
  CanMessage message{identifier, CanMessage::kExtendedFlag, static_cast<uint8_t>(data.size()), {}};
  std::copy(data.begin(), data.end(), message.data);
  return message;
}

bool FakeScreen::SendCanMessage(CanMessage& message, bool extended, uint8_t length) {
  if (extended)
    message.flags |= CanMessage::kExtendedFlag;
  else
    message.flags &= ~CanMessage::kExtendedFlag;
  message.length = length;
  if (onSend) onSend(message);
  return true;
}

void FakeScreen::Log(const char* text) {
  std::lock_guard lock(mutex_);
  logs_.emplace_back(text);
}

void FakeScreen::ShowMessage(const char* title, const char* text) {
  Log(text);
  std::lock_guard lock(mutex_);
  messages_.push_back({title, text});
}

bool FakeScreen::AskYesNo(const char* title, const char* text) {
  std::lock_guard lock(mutex_);
  questions_.push_back({title, text});
  return NextOf(answers, false);
}
