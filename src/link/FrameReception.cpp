#include "link/FrameReception.h"

#include "system/Clock.h"

void FrameReception::Handle(const uint8_t* line, size_t length) {
  if (length < 5) return;
  const size_t size = frame::Decode(line, length, packet_);
  if (!frame::ChecksumValid(packet_, size)) {
    link_.writer.WriteNak();
    link_.writer.FaultMet();
    copies_.NakWritten(TickCount());
    return;
  }
  if (size <= frame::kKindAt + 1) return;  // no room for a kind before the checksum
  const bool copy = copies_.IsCopy(packet_, size, link_.writer.CanFramesWritten(), TickCount());
  Answer(packet_, size, copy);
}

std::array<uint32_t, 5> FrameReception::Info() const {
  std::array<uint32_t, 5> words{};
  for (size_t i = 0; i < words.size(); ++i) words[i] = info_[i].load();
  return words;
}

void FrameReception::Answer(const uint8_t* packet, size_t length, bool copy) {
  // The gateway names a channel of its own choosing on a Nak; whatever it
  // names, the frame it could not read must go again.
  if (packet[frame::kKindAt] == frame::kNak) {
    return link_.writer.Resend();
  }
  const uint8_t channel = packet[frame::kChannelAt];
  if (!link_.channels.Valid(channel)) return;
  switch (packet[frame::kKindAt]) {
    case frame::kAck:
      return OnAck(channel);
    case frame::kReopen:
      return OnReopen(channel);
    case frame::kData:
      return OnData(channel, packet, length, !copy);
    default:
      break;
  }
}

// The Ack of a reopening releases the frame held back for it.
void FrameReception::OnAck(uint8_t channel) {
  link_.writer.Settle();
  if (link_.channels.Acknowledge(channel)) link_.sendEvent.Set();
  link_.responseEvent.Set();
  link_.presence.Acknowledged(TickCount());
}

// The gateway refused the frame it got last: it goes again once the channel
// is open again. The sender, waiting for that frame's Ack, waits no longer;
// if the reopening's Ack is lost, it asks again as for any held frame.
void FrameReception::OnReopen(uint8_t channel) {
  link_.sendRing.StepBack();
  link_.writer.Reopen(channel);
  link_.responseEvent.Set();
  link_.sendEvent.Set();
}

void FrameReception::OnData(uint8_t channel, const uint8_t* packet, size_t length, bool handOn) {
  const ChannelTable::Callback callback = link_.channels.CallbackOf(channel);
  if (!callback || length <= frame::kPayloadAt) return;
  const uint16_t id = static_cast<uint16_t>(packet[frame::kIdAt] | packet[frame::kIdAt + 1] << 8);
  if (id != frame::kInfoReply) link_.presence.Heard(TickCount());
  switch (id) {
    case frame::kCanFrame: {
      // Stored before the Ack goes out, handed on after it. A packet too short
      // to hold a frame arrived intact all the same: it is acknowledged only.
      const bool stored = handOn && link_.channels.Store(channel, packet, length, TickCount());
      link_.writer.WriteAck(channel);
      if (stored) callback(1);
      break;
    }
    case frame::kMessage19:
    case frame::kMessage20:
      link_.writer.WriteAck(channel);
      break;
    case frame::kInfoReply:
      link_.writer.WriteAck(channel);
      if (length >= frame::kInfoReplyMinimum) TakeInfo(packet);
      break;
    default:
      break;
  }
}

void FrameReception::TakeInfo(const uint8_t* packet) {
  for (size_t i = 0; i < info_.size(); ++i) {
    const uint8_t* word = packet + frame::kPayloadAt + 4 * i;
    info_[i] = static_cast<uint32_t>(word[0]) << 24 | static_cast<uint32_t>(word[1]) << 16 |
               static_cast<uint32_t>(word[2]) << 8 | word[3];
  }
  link_.presence.InfoAnswered(TickCount());
}
