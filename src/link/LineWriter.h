#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/ChannelTable.h"
#include "link/FrameCodec.h"
#include "link/GatewayPresence.h"
#include "system/SerialPort.h"

// Everything the console writes to the gateway, one whole frame at a time:
// callers hold the link's send mutex, so that the send and receive threads
// never interleave bytes on the line. It keeps the frame in flight, which a
// Nak from the gateway asks for again: the CAN frame whose Ack is awaited, or
// an OpenChannel or InfoRequest written after it. Once the gateway
// acknowledged it, or its wait ran out, that frame may be on the bus and
// never goes twice. A failed write counts as written; the gateway's Nak or
// Reopen brings a frame back.
class LineWriter {
 public:
  LineWriter(SerialPort& port, ChannelTable& channels, GatewayPresence& presence)
      : port_(port), channels_(channels), presence_(presence) {}

  // Answers that no Nak brings back.
  void WriteAck(uint8_t channel);
  void WriteNak();
  // The head of the send ring.
  void WriteCanFrame(const uint8_t* line, size_t length);
  // Never in place of a frame in flight.
  void WriteInfoRequest();
  // An OpenChannel for a valid channel, which stays unacknowledged until the
  // gateway answers it.
  void Reopen(uint8_t number);
  // The gateway has forgotten its channels, or may have.
  void ReopenAll();
  // Asks again where an OpenChannel went unanswered for kReopenRetryMs; true
  // while one is still unanswered.
  bool ReopenStalled();
  // The gateway's Nak of a frame spoiled on its way.
  void Resend();
  // Acknowledged, timed out, or the port went.
  void Settle() { inFlightLength_ = 0; }

  // How many CAN frames went (resent ones too): answers may follow each.
  uint32_t CanFramesWritten() const { return canFramesWritten_; }
  // The tick count of the last, 0 before the first; any thread.
  uint32_t LastCanFrameAt() const { return lastCanFrameAt_.load(std::memory_order_relaxed); }
  // A Nak we wrote: the gateway then writes a frame again, which may be an
  // answer we had whole already. (The gateway's Nak or Reopen, or a lost Ack,
  // is none: the frame it refused never reached the bus, and none goes twice.) Counted since the link was made; any thread.
  void FaultMet() { lineFaults_.fetch_add(1, std::memory_order_release); }
  uint32_t LineFaults() const { return lineFaults_.load(std::memory_order_acquire); }

 private:
  void Write(const uint8_t* bytes, size_t length);
  void WriteResendable(const uint8_t* bytes, size_t length);
  void CanFrameWritten();

  SerialPort& port_;
  ChannelTable& channels_;
  GatewayPresence& presence_;
  uint8_t inFlight_[frame::kRingEntry] = {};
  size_t inFlightLength_ = 0;
  uint32_t canFramesWritten_ = 0;
  std::atomic<uint32_t> lastCanFrameAt_{0};
  std::atomic<uint32_t> lineFaults_{0};
};
