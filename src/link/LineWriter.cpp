#include "link/LineWriter.h"

#include <algorithm>

#include "system/Clock.h"

void LineWriter::WriteAck(uint8_t channel) {
  uint8_t line[frame::kRingEntry];
  Write(line, frame::BuildAck(channel, line));
}

void LineWriter::WriteNak() {
  uint8_t line[frame::kRingEntry];
  Write(line, frame::BuildNak(line));
}

void LineWriter::WriteCanFrame(const uint8_t* line, size_t length) {
  WriteResendable(line, length);
  CanFrameWritten();
  presence_.CanFrameWritten(TickCount());
}

void LineWriter::WriteInfoRequest() {
  uint8_t line[frame::kRingEntry];
  const size_t length = frame::BuildInfoRequest(line);
  presence_.InfoAsked(TickCount());
  if (inFlightLength_ > 0) {
    Write(line, length);
  } else {
    WriteResendable(line, length);
  }
}

void LineWriter::Reopen(uint8_t number) {
  if (!channels_.Valid(number)) return;
  channels_.Opening(number, TickCount());
  uint8_t line[frame::kRingEntry];
  WriteResendable(line, frame::BuildOpenChannel(number, line));
}

void LineWriter::ReopenAll() {
  for (uint8_t number = 1; number <= ChannelTable::kCount; ++number) Reopen(number);
}

bool LineWriter::ReopenStalled() {
  for (uint8_t number = 1; number <= ChannelTable::kCount; ++number) {
    if (channels_.OpenStalled(number, TickCount())) Reopen(number);
  }
  return channels_.AnyOpening();
}

void LineWriter::Resend() {
  if (inFlightLength_ == 0) return;
  Write(inFlight_, inFlightLength_);
  CanFrameWritten();
}

void LineWriter::Write(const uint8_t* bytes, size_t length) { static_cast<void>(port_.Write(bytes, length)); }

void LineWriter::WriteResendable(const uint8_t* bytes, size_t length) {
  std::copy_n(bytes, length, inFlight_);
  inFlightLength_ = length;
  Write(bytes, length);
}

void LineWriter::CanFrameWritten() {
  ++canFramesWritten_;
  lastCanFrameAt_.store(TickCount(), std::memory_order_relaxed);
}
