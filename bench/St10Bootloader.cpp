#include "St10Bootloader.h"

#include <algorithm>
#include <cstring>

#include "Node.h"

namespace {

constexpr uint8_t kAnnounce = 0xD0;
constexpr uint8_t kStartDone = 0xD1;
constexpr uint8_t kEraseDone = 0xD2;
constexpr uint8_t kProgDone = 0xD3;
constexpr uint8_t kLineDone = 0xD4;
constexpr uint8_t kFinished = 0xD5;
constexpr uint8_t kResetDone = 0xD6;
constexpr uint8_t kOk = 0x01;
constexpr uint8_t kChecksumError = 0x40;
constexpr uint8_t kAddressError = 0x80;
constexpr uint8_t kNotErased = 0x08;

bool Is(const CanMessage& message, const char* command) {
  const size_t length = std::strlen(command);
  return message.length == length && std::memcmp(message.data, command, length) == 0;
}

}  // namespace

St10Bootloader::St10Bootloader(Node& node)
    : node_(node),
      stopAfter_(node.Config().stopAfter),
      lineError_(node.Config().lineError),
      powerCut_(node.Config().powerCut),
      stuckReset_(node.Config().stuckReset) {}

void St10Bootloader::Start() {
  streaming_ = false;
  complete_ = false;
  line_.clear();
}

void St10Bootloader::Announce() { node_.Send(kReplyId, {kAnnounce, kOk, '0', '1', '.', '0', '7'}); }

void St10Bootloader::OnFrame(const CanMessage& message) {
  if (message.identifier != kCommandId || !(message.flags & CanMessage::kExtendedFlag)) return;
  if (!OnCommand(message) && streaming_) OnText(message);
}

bool St10Bootloader::OnCommand(const CanMessage& message) {
  if (Is(message, "<Start>")) {
    Start();
    node_.After(node_.Config().lateStartMs, [this] { node_.Send(kReplyId, {kStartDone, kOk}); });
  } else if (Is(message, "<Erase>")) {
    flash_.clear();
    erased_ = true;
    complete_ = false;
    node_.ApplicationErased();
    node_.After(node_.Config().slowEraseMs, [this] { node_.Send(kReplyId, {kEraseDone, kOk}); });
  } else if (Is(message, "<Prog>")) {
    streaming_ = true;
    line_.clear();
    lineNumber_ = 0;
    accepted_ = 0;
    base_ = 0;
    node_.Send(kReplyId, {kProgDone, 0x00});
  } else if (Is(message, "<Reset>") && std::exchange(stuckReset_, false)) {
    node_.Note("misses the reset and stays in its bootloader");
  } else if (Is(message, "<Reset>")) {
    node_.Send(kReplyId, {kResetDone, 0x00});
    node_.Reset();
  } else {
    return false;
  }
  return true;
}

void St10Bootloader::OnText(const CanMessage& message) {
  for (uint8_t i = 0; i < message.length && streaming_; ++i) {
    const char c = static_cast<char>(message.data[i]);
    if (c == '\n') {
      OnLine();
      line_.clear();
    } else if (line_.size() < kLongestLine) {
      line_ += c;
    }
  }
}

void St10Bootloader::OnLine() {
  ++lineNumber_;
  if (stopAfter_ && accepted_ >= *stopAfter_) {
    stopAfter_.reset();
    streaming_ = false;
    node_.Note("stops answering after line " + std::to_string(accepted_));
    return;
  }
  if (lineError_ && lineNumber_ == *lineError_) {
    lineError_.reset();
    FailLine();
    return;
  }
  line_.erase(line_.find_last_not_of("\r \t") + 1);
  if (line_.empty()) {
    Accept();
    return;
  }
  const std::optional<HexRecord> record = HexRecord::Parse(line_);
  if (!record) {
    FailLine();
    return;
  }
  OnRecord(*record);
}

void St10Bootloader::OnRecord(const HexRecord& record) {
  switch (record.type) {
    case HexRecord::kData:
      if (!Write(record)) return;
      break;
    case HexRecord::kEnd:
      complete_ = erased_;
      streaming_ = false;
      node_.Send(kReplyId, {kFinished, kOk});
      return;
    case HexRecord::kSegmentAddress:
    case HexRecord::kLinearAddress:
      if (record.count != 2) return FailLine();
      base_ = record.type == HexRecord::kSegmentAddress ? uint32_t{record.Value()} << 4
                                                         : uint32_t{record.Value()} << 16;
      break;
    case HexRecord::kSegmentStart:
    case HexRecord::kLinearStart:
      break;
    default:
      return FailLine();
  }
  Accept();
}

bool St10Bootloader::Write(const HexRecord& record) {
  if (!erased_) {
    Fail({0x00, kNotErased});
    return false;
  }
  const uint32_t address = base_ + record.offset;
  if (address >= kFlashEnd || kFlashEnd - address < record.count) {
    Fail({0x00, kAddressError, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
          static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16)});
    return false;
  }
  const size_t end = address + record.count;
  if (end > flash_.size()) flash_.resize(end, 0xFF);
  std::copy_n(record.data.begin(), record.count, flash_.begin() + address);
  return true;
}

void St10Bootloader::Accept() {
  ++accepted_;
  node_.Send(kReplyId, {kLineDone, kOk});
  if (powerCut_ && accepted_ == *powerCut_) {
    powerCut_.reset();
    node_.CutPower();
  }
}

void St10Bootloader::Fail(std::initializer_list<uint8_t> report) {
  streaming_ = false;
  node_.Send(kReplyId, report);
}

void St10Bootloader::FailLine() {
  node_.Note("reports line " + std::to_string(lineNumber_) + " as bad");
  const auto [high, low] = LineNumberBytes(lineNumber_);
  Fail({0x00, kChecksumError, high, low});
}

std::pair<uint8_t, uint8_t> St10Bootloader::LineNumberBytes(uint32_t n) {
  auto pair = [](uint32_t x, uint32_t y) { return std::pair{static_cast<uint8_t>(x), static_cast<uint8_t>(y)}; };
  if (n < 0x100) return pair(0, n);           // "0" then the number
  if ((n & 0xFF) >= 0x10) return pair(n >> 8, n & 0xFF);  // low byte prints two digits
  if (n < 0x1000) return pair(n >> 4, n & 0x0F);          // last digit alone
  return pair(n >> 8, n & 0xFF);  // no pair reads back right; the nearest plain split
}
