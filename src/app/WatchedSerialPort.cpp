#include "app/WatchedSerialPort.h"

#include "link/FrameCodec.h"
#include "system/Clock.h"

// The link writes whole frames, one per call.
bool WatchedSerialPort::Write(const uint8_t* bytes, size_t count) {
  const bool written = port_->Write(bytes, count);
  uint8_t packet[frame::kRingEntry];
  if (written && count > 2 && count <= sizeof packet && bytes[0] == frame::kStart) {
    const size_t length = frame::Decode(bytes, count, packet);
    if (length > frame::kPayloadAt && packet[frame::kKindAt] == frame::kData &&
        (packet[frame::kIdAt] | packet[frame::kIdAt + 1] << 8) == frame::kCanFrame)
      lastCanFrame_.store(TickCount(), std::memory_order_relaxed);
  }
  return written;
}
