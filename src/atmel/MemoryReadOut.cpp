#include "atmel/MemoryReadOut.h"

#include <cstring>

#include "console/ProgramScreen.h"
#include "system/Clock.h"

namespace {

uint32_t LineFaults() {
  ProgramScreen* screen = TheScreen();
  return screen ? screen->LineFaults() : 0;
}

}  // namespace

// Counted as arriving before its bytes are stored, and as in once they are.
void MemoryReadOut::OnReply(const CanMessage& message) {
  uint64_t packed = 0;
  std::memcpy(&packed, message.data, sizeof packed);
  ++arriving_;
  bytes_ = packed;
  ++replies_;
}

// A second reply that overwrote the bytes, or was about to, shows in the
// count of arriving ones read after them.
MemoryReadOut::Reply MemoryReadOut::Exchange(uint16_t first) {
  const uint16_t last = static_cast<uint16_t>(first + FirmwareImage::kWindowBytes - 1);
  CanMessage request{.identifier = kDisplayId,
                     .data = {0x00, static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first & 0xFF),
                              static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last & 0xFF)}};
  const uint32_t before = replies_;
  SendCan(request, false, 5);
  Reply reply;
  reply.answered = answered_.WaitFor([this, before] { return replies_ != before; }, kWindowWaitMs);
  if (!reply.answered) return reply;
  const uint64_t packed = bytes_;
  std::memcpy(reply.bytes.data(), &packed, reply.bytes.size());
  reply.count = arriving_;
  reply.alone = reply.count == before + 1;
  return reply;
}

bool MemoryReadOut::ReadAll(FirmwareImage& memory, const std::function<void(uint32_t)>& done) {
  FirmwareImage::Window bytes{};
  for (uint32_t window = 0; window < kWindows; ++window) {
    const auto first = static_cast<uint16_t>(window * FirmwareImage::kWindowBytes);
    if (!ReadWindow(first, bytes)) return false;
    memory.Store(first, bytes);
    done(window + 1);
  }
  // A reply still owed means one came too many on the way, taken in place of
  // its successor: every window from there on may be shifted.
  return !answered_.WaitFor([this] { return arriving_ != taken_; }, kOwedMs);
}

// Only a read that came alone counts. The first one counts by itself when
// the line met no fault around it; any later one when it equals the read
// before it. A window unanswered twice in a row is not read.
bool MemoryReadOut::ReadWindow(uint16_t first, FirmwareImage::Window& bytes) {
  bool previous = false;
  bool unanswered = false;
  for (uint32_t request = 0; request < kMostRequests; ++request) {
    if (previous || unanswered) AwaitQuiet();
    const uint32_t faults = LineFaults();
    const Reply reply = Exchange(first);
    if (!reply.answered) {
      if (unanswered) return false;
      unanswered = true;
      continue;
    }
    unanswered = false;
    const bool clean = request == 0 && LineFaults() == faults;
    if (reply.alone && (clean || (previous && reply.bytes == bytes))) {
      bytes = reply.bytes;
      taken_ = reply.count;
      return true;
    }
    bytes = reply.bytes;
    previous = true;
  }
  return false;
}

// Until no display reply came for kQuietMs, at most about kQuietLimitMs.
void MemoryReadOut::AwaitQuiet() {
  const uint32_t begun = TickCount();
  for (;;) {
    const uint32_t seen = replies_;
    if (!answered_.WaitFor([this, seen] { return replies_ != seen; }, kQuietMs)) return;
    if (TickCount() - begun >= kQuietLimitMs) return;
  }
}
