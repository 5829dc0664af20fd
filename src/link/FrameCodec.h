#pragma once

#include <cstddef>
#include <cstdint>

#include "link/CanMessage.h"

// The gateway's serial framing: 0x7E, the byte-stuffed packet ending in an
// XOR checksum, 0x7F. Stateless; buffers are the caller's.
namespace frame {

constexpr uint8_t kStart = 0x7E;
constexpr uint8_t kEnd = 0x7F;
constexpr uint8_t kEscape = 0x70;
constexpr size_t kRingEntry = 250;  // bytes of one ring entry, the longest frame

enum Kind : uint8_t { kData = 0, kAck = 1, kNak = 2, kReopen = 3 };

enum MessageId : uint16_t {
  kOpenChannel = 3,
  kMessage19 = 19,
  kMessage20 = 20,
  kInfoRequest = 21,
  kInfoReply = 22,
  kCanFrame = 32,
};

// Offsets within a packet.
constexpr size_t kChannelAt = 0;
constexpr size_t kKindAt = 1;
constexpr size_t kIdAt = 2;
constexpr size_t kPayloadAt = 4;

constexpr uint32_t kStandardMarker = 0x20000000;  // bit 29 of the identifier word
constexpr size_t kCanFramePacketFromGateway = 17; // channel..checksum of a received CanFrame
constexpr size_t kInfoReplyMinimum = 24;

// XOR of the first count bytes; 0 for count <= 0.
uint8_t Checksum(const uint8_t* bytes, int count);
// Writes start marker, stuffed packet, end marker; out holds >= 2 + 2 * count.
size_t Encode(const uint8_t* packet, size_t count, uint8_t* out);
// Unstuffs a collected frame (start marker included) into out (>= length
// bytes); returns the packet length, checksum byte included.
size_t Decode(const uint8_t* frame, size_t length, uint8_t* out);
// True when the last packet byte is the XOR of those before it.
bool ChecksumValid(const uint8_t* packet, size_t length);

// Builders of whole frames; out holds >= kRingEntry bytes. Return the length.
// A control packet (Ack, Nak, Reopen) on a channel.
size_t BuildControl(uint8_t channel, Kind kind, uint8_t* out);
// A Data packet: message id and payload (cut to kMaxPayload bytes).
constexpr size_t kMaxPayload = 100;
size_t BuildData(uint8_t channel, uint16_t id, const uint8_t* payload, size_t payloadLength, uint8_t* out);
size_t BuildAck(uint8_t channel, uint8_t* out);
size_t BuildNak(uint8_t* out);
size_t BuildOpenChannel(uint8_t channel, uint8_t* out);
size_t BuildInfoRequest(uint8_t* out);
// identifier is sent as given (the caller has set the bit-29 marker if the
// frame is standard); length is clamped to 8.
size_t BuildCanFrame(uint8_t channel, uint32_t identifier, const uint8_t* data, uint8_t length, uint8_t* out);

// Reads a received CanFrame packet (channel..checksum). Fills identifier,
// extended flag (flags bit 7), length and data; false when the packet is too
// short to hold one.
bool ReadCanFrame(const uint8_t* packet, size_t length, CanMessage& out);

}  // namespace frame
