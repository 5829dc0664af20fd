#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// One Intel HEX record as an ST10 bootloader reads it from a streamed line.
struct HexRecord {
  enum Type : uint8_t {
    kData = 0x00,
    kEnd = 0x01,
    kSegmentAddress = 0x02,
    kSegmentStart = 0x03,
    kLinearAddress = 0x04,
    kLinearStart = 0x05,
  };

  uint8_t type = 0;
  uint16_t offset = 0;
  uint8_t count = 0;
  std::array<uint8_t, 255> data{};

  // Reads ":LLAAAATT<data>CC"; nothing when the syntax, the count or the
  // checksum is wrong.
  static std::optional<HexRecord> Parse(std::string_view line);
  // The 16-bit value of an address record (types 02 and 04).
  uint16_t Value() const { return static_cast<uint16_t>(data[0] << 8 | data[1]); }
};
