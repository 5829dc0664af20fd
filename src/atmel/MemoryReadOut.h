#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "atmel/FirmwareImage.h"
#include "console/ReplyRouting.h"
#include "system/Waker.h"

// Reads the node's memory with the display command: one 8-byte window per
// request, one request at a time. A display reply names no address, so one
// reply too many (late, doubled, the gateway's copy) would shift every window
// after it. A window counts only when one reply alone answered its request
// with no fault on the line meanwhile; otherwise it is asked again once the
// line is quiet, until two reads agree. A reply still to come after the last
// window shows a shift somewhere: the read fails.
class MemoryReadOut {
 public:
  static constexpr uint32_t kDisplayId = 3;
  static constexpr uint32_t kWindows = kNodeMemorySize / FirmwareImage::kWindowBytes;
  static constexpr uint32_t kWindowWaitMs = 1001 * 3;
  static constexpr uint32_t kQuietMs = 20;         // many frame times: a copy follows its Nak at once
  static constexpr uint32_t kQuietLimitMs = 2000;  // a line that never falls quiet
  static constexpr uint32_t kOwedMs = 50;          // after the last window, for a reply still to come
  static constexpr uint32_t kMostRequests = 5;     // of one window

  struct Reply {
    bool answered = false;
    bool alone = false;  // no other display reply came from the request until the bytes were taken
    uint32_t count = 0;  // the display replies until then
    FirmwareImage::Window bytes{};
  };

  // The waker is notified after each reply handed to OnReply.
  explicit MemoryReadOut(Waker& answered) : answered_(answered) {}

  // A display reply, on the link's receive thread.
  void OnReply(const CanMessage& message);
  // Asks for the window from first and waits up to kWindowWaitMs for a reply.
  Reply Exchange(uint16_t first);
  // Reads 0x0000 to 0x7FFF into memory, telling done(windows) after each
  // window; false when a window could not be read for sure.
  bool ReadAll(FirmwareImage& memory, const std::function<void(uint32_t)>& done);

 private:
  bool ReadWindow(uint16_t first, FirmwareImage::Window& bytes);
  void AwaitQuiet();

  Waker& answered_;
  std::atomic<uint32_t> arriving_{0};  // display replies since start, counted before their bytes
  std::atomic<uint64_t> bytes_{0};     // those of the last, as one value so that none is torn
  std::atomic<uint32_t> replies_{0};   // display replies whose bytes are in
  uint32_t taken_ = 0;                 // arriving_ when the last window was taken
};
