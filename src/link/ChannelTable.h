#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "link/CanMessage.h"

// The link's ten channels: which are in use, whether the gateway has
// acknowledged each since it was last (re)opened, and the last CAN frame each
// received. A channel number is valid when it names an entry in use; numbers
// are 1 to 10, the entry's index + 1. Only acknowledged channels get their
// queued frames written.
class ChannelTable {
 public:
  static constexpr uint8_t kCount = 10;
  static constexpr uint32_t kReopenRetryMs = 500;      // an unanswered OpenChannel goes again
  static constexpr uint32_t kIsolatedTimeoutMs = 500;  // an Ack time-out with none this long before it

  using Callback = void (*)(int);

  // The new channel's number, 0 when all are in use.
  uint8_t Create(uint8_t type, Callback callback);
  bool Valid(uint8_t number) const { return Index(number) >= 0; }
  bool Acknowledged(uint8_t number) const;
  // That of a valid channel; null when it has none.
  Callback CallbackOf(uint8_t number) const { return channels_[number - 1].callback; }

  // ---- Opening, under the link's send mutex -----------------------------------
  // An OpenChannel goes for a valid channel: unacknowledged until the gateway answers.
  void Opening(uint8_t number, uint32_t now);
  // None is out for the channel, or the last went unanswered for kReopenRetryMs.
  bool OpenDue(uint8_t number, uint32_t now) const;
  // An OpenChannel for a channel in use went unanswered for kReopenRetryMs.
  bool OpenStalled(uint8_t number, uint32_t now) const;
  bool AnyOpening() const;
  // The gateway's Ack on a valid channel, which ends its opening. True when
  // the channel was not acknowledged before.
  bool Acknowledge(uint8_t number);
  // The port went: a gateway that comes back has forgotten every channel.
  void Forget();
  // The send thread waited in vain for an Ack. An isolated time-out means the
  // gateway has lost its channels (restart, unplugged): every channel is
  // opened again before its next frame. Time-outs in a row leave them.
  void AckTimedOut(uint32_t now);

  // ---- Last frames --------------------------------------------------------------
  // From a received CanFrame packet of a valid channel; false when too short to hold one.
  bool Store(uint8_t number, const uint8_t* packet, size_t length, uint32_t now);
  // Identifier, length and data of a valid channel's last frame; the caller's flags and time stay.
  void CopyLast(uint8_t number, CanMessage& message);

 private:
  struct Channel {
    std::atomic<bool> inUse{false};
    std::atomic<bool> acknowledged{false};
    bool opening = false;  // an OpenChannel is out and unanswered
    uint32_t openedAt = 0;  // when it went
    uint8_t type = 0;
    Callback callback = nullptr;
    CanMessage lastFrame;
  };

  int Index(uint8_t number) const;  // -1 unless the channel is valid

  Channel channels_[kCount];
  std::mutex lock_;           // creation and the last frames
  bool hadTimeout_ = false;   // send thread only
  uint32_t lastTimeout_ = 0;  // send thread only
};
