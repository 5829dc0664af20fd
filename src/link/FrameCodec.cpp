#include "link/FrameCodec.h"

#include <algorithm>

namespace frame {

namespace {

constexpr size_t kCanFrameHeader = 8;  // channel, kind, id, identifier word

// Appends one packet byte, stuffed when it falls in 0x70..0x7F.
uint8_t* Stuff(uint8_t byte, uint8_t* out) {
  if (byte >= kEscape && byte <= kEnd) {
    *out++ = kEscape;
    *out++ = byte & 0x0F;
  } else {
    *out++ = byte;
  }
  return out;
}

}  // namespace

uint8_t Checksum(const uint8_t* bytes, int count) {
  uint8_t sum = 0;
  for (int i = 0; i < count; ++i) sum ^= bytes[i];
  return sum;
}

size_t BuildData(uint8_t channel, uint16_t id, const uint8_t* payload, size_t payloadLength, uint8_t* out) {
  uint8_t packet[kRingEntry];
  payloadLength = std::min(payloadLength, kMaxPayload);
  packet[kChannelAt] = channel;
  packet[kKindAt] = kData;
  packet[kIdAt] = static_cast<uint8_t>(id);
  packet[kIdAt + 1] = static_cast<uint8_t>(id >> 8);
  for (size_t i = 0; i < payloadLength; ++i) packet[kPayloadAt + i] = payload[i];
  size_t count = kPayloadAt + payloadLength;
  packet[count] = Checksum(packet, static_cast<int>(count));
  return Encode(packet, count + 1, out);
}

size_t BuildControl(uint8_t channel, Kind kind, uint8_t* out) {
  const uint8_t packet[3] = {channel, kind, static_cast<uint8_t>(channel ^ kind)};
  return Encode(packet, sizeof packet, out);
}

size_t Encode(const uint8_t* packet, size_t count, uint8_t* out) {
  uint8_t* cursor = out;
  *cursor++ = kStart;
  for (size_t i = 0; i < count; ++i) cursor = Stuff(packet[i], cursor);
  *cursor++ = kEnd;
  return static_cast<size_t>(cursor - out);
}

size_t Decode(const uint8_t* frame, size_t length, uint8_t* out) {
  size_t produced = 0;
  for (size_t i = 1; i < length; ++i) {
    if (frame[i] != kEscape) {
      out[produced++] = frame[i];
    } else if (i + 2 < length) {
      // A pair whose second byte is not the frame's last; an escape right
      // before the end (or at the end of a cut frame) is dropped.
      ++i;
      out[produced++] = frame[i] == 0 ? kEscape : (frame[i] | kEscape);
    }
  }
  // The last byte produced is the end marker; it goes without a test.
  return produced > 0 ? produced - 1 : 0;
}

bool ChecksumValid(const uint8_t* packet, size_t length) {
  return length > 0 && packet[length - 1] == Checksum(packet, static_cast<int>(length - 1));
}

size_t BuildAck(uint8_t channel, uint8_t* out) { return BuildControl(channel, kAck, out); }

size_t BuildNak(uint8_t* out) { return BuildControl(0, kNak, out); }

size_t BuildOpenChannel(uint8_t channel, uint8_t* out) {
  const uint8_t payload[2] = {channel, 0x00};
  return BuildData(0x01, kOpenChannel, payload, sizeof payload, out);
}

size_t BuildInfoRequest(uint8_t* out) { return BuildData(0x01, kInfoRequest, nullptr, 0, out); }

size_t BuildCanFrame(uint8_t channel, uint32_t identifier, const uint8_t* data, uint8_t length, uint8_t* out) {
  if (length > 8) length = 8;
  uint8_t packet[kCanFrameHeader + 8 + 1];
  packet[kChannelAt] = channel;
  packet[kKindAt] = kData;
  packet[kIdAt] = static_cast<uint8_t>(kCanFrame);
  packet[kIdAt + 1] = 0x00;
  for (int i = 0; i < 4; ++i) packet[kPayloadAt + i] = static_cast<uint8_t>(identifier >> (24 - 8 * i));
  for (uint8_t i = 0; i < length; ++i) packet[kCanFrameHeader + i] = data[i];
  size_t count = kCanFrameHeader + length;
  packet[count] = Checksum(packet, static_cast<int>(count));
  return Encode(packet, count + 1, out);
}

bool ReadCanFrame(const uint8_t* packet, size_t length, CanMessage& out) {
  if (length < kCanFramePacketFromGateway) return false;
  const uint8_t* word = packet + kPayloadAt;
  if (word[0] < 0x20) {
    out.identifier = static_cast<uint32_t>(word[0]) << 24 | static_cast<uint32_t>(word[1]) << 16 |
                     static_cast<uint32_t>(word[2]) << 8 | word[3];
    out.flags |= CanMessage::kExtendedFlag;
  } else {
    out.identifier = static_cast<uint32_t>(word[2]) << 8 | word[3];
    out.flags &= static_cast<uint8_t>(~CanMessage::kExtendedFlag);
  }
  out.length = 0;
  for (uint8_t i = 0; i < 8; ++i) {
    out.data[i] = packet[kCanFrameHeader + i];
    if (out.data[i] != 0xFF) out.length = i + 1;
  }
  return true;
}

}  // namespace frame
