#pragma once

#include <array>
#include <cstdint>

// How the emulated gateway behaves on the serial line. Every "every N" value
// counts frames; 0 switches the fault off. A "percent" value strikes each
// frame by chance instead (seeded), for rates between the every-N steps.
struct GatewayConfig {
  std::array<uint32_t, 5> info{261, 0, 0, 0, 0};  // word 0: firmware version
  uint32_t infoDelayMs = 0;
  bool noInfo = false;
  uint32_t infoAnswers = 0;  // only the first N InfoRequests answered; 0: all

  // Host CanFrames (only those) counted for these three:
  uint32_t dropAckEvery = 0;  // forwarded to the bus, Ack withheld
  uint32_t dropAckPercent = 0;
  uint32_t nakEvery = 0;      // refused with a Nak, host writes it again
  uint32_t reopenEvery = 0;   // refused with a Reopen of its channel

  // Every Data packet from the host (CanFrame, OpenChannel, InfoRequest):
  uint32_t spoilHostEvery = 0;  // arrives spoilt: a Nak, nothing else

  // Frames written to the host counted for these three:
  uint32_t garbageEvery = 0;      // a burst of noise before the frame
  uint32_t badChecksumEvery = 0;  // the frame's checksum spoilt
  uint32_t badChecksumPercent = 0;
  uint32_t chatterEvery = 0;      // messages 19 and 20 after the frame

  uint32_t seed = 1;  // of the garbage and chance generators
};
