#include "GatewayLine.h"

#include "link/FrameCodec.h"

Bytes Line(Bytes packet) {
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  Bytes line(2 + 2 * packet.size());
  line.resize(frame::Encode(packet.data(), packet.size(), line.data()));
  return line;
}

Bytes DataLine(uint8_t channel, uint16_t id, Bytes payload) {
  payload.insert(payload.begin(), {channel, frame::kData, uint8_t(id), uint8_t(id >> 8)});
  return Line(payload);
}

Bytes CanLine(uint32_t word, Bytes data, uint8_t channel) {
  data.insert(data.begin(), {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)});
  return DataLine(channel, frame::kCanFrame, data);
}

Bytes AckLine(uint8_t channel) { return Line({channel, frame::kAck}); }

Bytes Unstuffed(const Bytes& line) {
  Bytes packet(line.size());
  packet.resize(frame::Decode(line.data(), line.size(), packet.data()));
  return packet;
}
