#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "link/CanMessage.h"
#include "link/FrameCodec.h"

// The console's side of the serial line, played by a test against an
// in-process bench: it writes frames built with the link's own builders and
// decodes what the bench writes back. Time moves only when the test says so.
class HostLine {
 public:
  static constexpr uint32_t kMarker = frame::kStandardMarker;

  explicit HostLine(const BenchOptions& options = {});

  // Raw bytes to the gateway; the bench then runs whatever is due now.
  void Write(const std::vector<uint8_t>& bytes);
  void OpenChannel(uint8_t channel = 1);
  void RequestInfo();
  // A CanFrame with the identifier word as given (marker included).
  void SendCan(uint32_t word, const std::vector<uint8_t>& data, uint8_t channel = 1);
  void SendText(uint32_t word, const std::string& text) { SendCan(word, {text.begin(), text.end()}); }
  void AdvanceMs(uint64_t ms) { bench.AdvanceMs(ms); }

  struct Packet {
    std::vector<uint8_t> bytes;  // unstuffed, checksum included
    bool checksumOk;
  };
  // Everything received since the last call, frame by frame.
  std::vector<Packet> TakePackets();
  // Only the CanFrames, read as the console reads them (0xFF tail trimmed).
  std::vector<CanMessage> TakeCanFrames();
  // Bytes that arrived outside any frame since the start.
  size_t noise() const { return noise_; }

  Bench bench;
  std::vector<uint8_t> received;
  std::vector<std::string> events;

 private:
  size_t noise_ = 0;
  size_t scanned_ = 0;
};

// The console's view of one reply, for compact expectations.
std::vector<uint8_t> DataOf(const CanMessage& message);
