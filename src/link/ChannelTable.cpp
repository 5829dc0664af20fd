#include "link/ChannelTable.h"

#include <algorithm>

#include "link/FrameCodec.h"

uint8_t ChannelTable::Create(uint8_t type, Callback callback) {
  std::lock_guard lock(lock_);
  for (uint8_t index = 0; index < kCount; ++index) {
    Channel& channel = channels_[index];
    if (channel.inUse.load(std::memory_order_relaxed)) continue;
    channel.callback = callback;
    channel.type = type;
    channel.acknowledged = false;
    channel.inUse.store(true, std::memory_order_release);
    return static_cast<uint8_t>(index + 1);
  }
  return 0;
}

bool ChannelTable::Acknowledged(uint8_t number) const {
  const int index = Index(number);
  return index >= 0 && channels_[index].acknowledged;
}

void ChannelTable::Opening(uint8_t number, uint32_t now) {
  Channel& channel = channels_[number - 1];
  channel.acknowledged = false;
  channel.opening = true;
  channel.openedAt = now;
}

bool ChannelTable::OpenDue(uint8_t number, uint32_t now) const {
  const Channel& channel = channels_[number - 1];
  return !channel.opening || now - channel.openedAt >= kReopenRetryMs;
}

bool ChannelTable::OpenStalled(uint8_t number, uint32_t now) const {
  const Channel& channel = channels_[number - 1];
  return channel.inUse && channel.opening && OpenDue(number, now);
}

bool ChannelTable::AnyOpening() const {
  return std::any_of(std::begin(channels_), std::end(channels_),
                     [](const Channel& channel) { return channel.inUse && channel.opening; });
}

bool ChannelTable::Acknowledge(uint8_t number) {
  Channel& channel = channels_[number - 1];
  channel.opening = false;
  return !channel.acknowledged.exchange(true);
}

void ChannelTable::Forget() {
  for (Channel& channel : channels_) {
    channel.acknowledged = false;
    channel.opening = false;
  }
}

void ChannelTable::AckTimedOut(uint32_t now) {
  if (!hadTimeout_ || now - lastTimeout_ > kIsolatedTimeoutMs) {
    for (Channel& channel : channels_) channel.acknowledged = false;
  }
  hadTimeout_ = true;
  lastTimeout_ = now;
}

bool ChannelTable::Store(uint8_t number, const uint8_t* packet, size_t length, uint32_t now) {
  std::lock_guard lock(lock_);
  CanMessage& last = channels_[number - 1].lastFrame;
  if (!frame::ReadCanFrame(packet, length, last)) return false;
  last.time = now;
  return true;
}

void ChannelTable::CopyLast(uint8_t number, CanMessage& message) {
  std::lock_guard lock(lock_);
  const CanMessage& last = channels_[number - 1].lastFrame;
  message.identifier = last.identifier;
  message.length = last.length;
  std::copy_n(last.data, 8, message.data);
}

int ChannelTable::Index(uint8_t number) const {
  if (number == 0 || number > kCount) return -1;
  return channels_[number - 1].inUse.load(std::memory_order_acquire) ? number - 1 : -1;
}
