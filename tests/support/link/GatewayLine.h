#pragma once

#include <cstdint>
#include <vector>

// Whole frames on the serial line, as the host or the gateway writes them:
// start marker, stuffed packet with its checksum, end marker.
using Bytes = std::vector<uint8_t>;

Bytes Line(Bytes packet);
Bytes DataLine(uint8_t channel, uint16_t id, Bytes payload);
// A CanFrame: identifier word (most significant byte first), then the data.
Bytes CanLine(uint32_t word, Bytes data, uint8_t channel = 1);
Bytes AckLine(uint8_t channel);
// The packet of a line, checksum byte included.
Bytes Unstuffed(const Bytes& line);
