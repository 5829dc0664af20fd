#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "link/CanMessage.h"
#include "link/FrameCodec.h"

// The console's side of the serial line, played by a test against an
// in-process bench: it writes frames built with the link's own builders,
// decodes what the bench writes back and reads the bus from the trace.
// Time moves only when the test says so.
class HostLine {
 public:
  using Bytes = std::vector<uint8_t>;
  static constexpr uint32_t kMarker = frame::kStandardMarker;
  struct Packet {
    Bytes bytes;  // unstuffed, checksum included
    bool checksumOk;
  };

  explicit HostLine(const BenchOptions& options = {});

  // A host CanFrame with the identifier word as given (marker included).
  static Bytes CanLine(uint32_t word, const Bytes& data, uint8_t channel = 1);
  // Raw bytes to the gateway; the bench then runs whatever is due now.
  void Write(const Bytes& bytes);
  void OpenChannel(uint8_t channel = 1);
  void SendCan(uint32_t word, const Bytes& data) { Write(CanLine(word, data)); }
  void AdvanceMs(uint64_t ms) { bench.AdvanceMs(ms); }
  // Everything received since the last call, frame by frame.
  std::vector<Packet> TakePackets();
  // Only the CanFrames, read as the console reads them (0xFF tail trimmed).
  std::vector<CanMessage> TakeCanFrames();
  // The bus's trace lines since the last call, without their time: "can0 005#01".
  std::vector<std::string> TakeBus();

  Bench bench;
  Bytes received;
  std::vector<std::string> events;
  size_t noise = 0;  // bytes that arrived outside any frame

 private:
  size_t scanned_ = 0;
  size_t traced_ = 0;
  std::string tracePath_;
};

// The console's view of one reply, for compact expectations.
HostLine::Bytes DataOf(const CanMessage& message);
