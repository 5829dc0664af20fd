#pragma once

#include <cstdint>

// One CAN frame as the program sends and receives it.
struct CanMessage {
  static constexpr uint8_t kExtendedFlag = 0x80;  // flags bit 7: 29-bit identifier

  uint32_t identifier = 0;
  uint8_t flags = 0;
  uint8_t length = 0;  // 0 to 8
  uint8_t data[8] = {};
  uint32_t time = 0;  // receive time, ms of the tick count
};
