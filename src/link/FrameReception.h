#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/ChannelTable.h"
#include "link/FrameCodec.h"
#include "link/GatewayCopies.h"
#include "link/GatewayPresence.h"
#include "link/LineWriter.h"
#include "link/SendRing.h"
#include "system/Event.h"

// What the receive thread makes of each frame the reader collected, under the
// link's send mutex. A spoiled frame is answered with our Nak; the gateway's
// Nak, on whatever channel, brings back the frame in flight; anything else
// counts only on a valid channel: an Ack releases the sender, a Reopen steps
// the send ring back and opens the channel again, and Data goes to a channel
// with a callback: a CanFrame is stored, acknowledged, then handed on
// (unless it is the gateway's copy after our Nak); messages 19, 20 and
// InfoReply are acknowledged, other ids get no reply.
class FrameReception {
 public:
  struct Wiring {
    LineWriter& writer;
    ChannelTable& channels;
    SendRing& sendRing;
    GatewayPresence& presence;
    Event& sendEvent;      // the sender looks at its ring again
    Event& responseEvent;  // the sender's wait for an Ack ends
  };

  explicit FrameReception(const Wiring& wiring) : link_(wiring) {}

  // A collected frame, start marker included.
  void Handle(const uint8_t* line, size_t length);
  // The five words of the last accepted InfoReply; zeros before the first.
  std::array<uint32_t, 5> Info() const;

 private:
  void Answer(const uint8_t* packet, size_t length, bool copy);
  void OnAck(uint8_t channel);
  void OnReopen(uint8_t channel);
  void OnData(uint8_t channel, const uint8_t* packet, size_t length, bool handOn);
  void TakeInfo(const uint8_t* packet);

  Wiring link_;
  uint8_t packet_[frame::kRingEntry] = {};
  GatewayCopies copies_;
  std::array<std::atomic<uint32_t>, 5> info_{};
};
