#include "AtmelBootloader.h"

#include <algorithm>

#include "Node.h"

namespace {

constexpr uint8_t kOpenCommand = 0xFF;
constexpr uint8_t kBlankCheck = 0x01;
constexpr uint8_t kDisplay = 0x00;
constexpr uint8_t kErase[] = {0x00, 0xFF};
constexpr uint8_t kClose = 0x01;
constexpr uint8_t kReset = 0x03;

uint32_t Word(const CanMessage& message, size_t at) { return uint32_t{message.data[at]} << 8 | message.data[at + 1]; }

InitialFlash::Bytes StartingFlash(const NodeConfig& config) {
  if (config.flash) return *config.flash;
  if (config.startInBootloader) return InitialFlash::Interrupted(config.address, config.program);
  return InitialFlash::Program(config.address, config.program);
}

}  // namespace

AtmelBootloader::AtmelBootloader(Node& node)
    : node_(node),
      flash_(StartingFlash(node.Config())),
      readProtected_(node.Config().noDisplay),
      blankNonzero_(node.Config().blankNonzero),
      stopAfter_(node.Config().stopAfter),
      powerCut_(node.Config().powerCut),
      badByte_(node.Config().badByte) {}

void AtmelBootloader::Start() {
  range_.reset();
  writeAt_ = 0;
  dataFrames_ = 0;
  answeringData_ = true;
}

void AtmelBootloader::Announce() { node_.Send(kOpen, {0x00, 0x01}); }

void AtmelBootloader::OnFrame(const CanMessage& message) {
  if (message.flags & CanMessage::kExtendedFlag) return;
  switch (message.identifier) {
    case kOpen:
      if (message.length >= 1 && message.data[0] == kOpenCommand) {
        node_.After(node_.Config().lateStartMs, [this] { node_.Send(kOpen, {0x00, 0x01}); });
      }
      break;
    case kRegisters:
      node_.Send(kRegisters, {0x00, 0x00});
      break;
    case kControl:
      OnControl(message);
      break;
    case kWindow:
      OnWindow(message);
      break;
    case kRange:
      OnRange(message);
      break;
    case kData:
      OnData(message);
      break;
    default:
      break;
  }
}

void AtmelBootloader::OnControl(const CanMessage& message) {
  if (message.length >= 2 && std::equal(std::begin(kErase), std::end(kErase), message.data)) {
    Erase();
  } else if (message.length >= 1 && message.data[0] == kClose) {
    node_.Note(RangeDone() ? "programming closed" : "programming closed before the range was full");
  } else if (message.length >= 1 && message.data[0] == kReset) {
    node_.Reset();
  }
}

void AtmelBootloader::Erase() {
  flash_.fill(0xFF);
  erased_ = true;
  if (readProtected_) node_.Note("read protection lifted by the erase");
  readProtected_ = false;
  range_.reset();
  node_.ApplicationErased();
  node_.After(node_.Config().slowEraseMs, [this] { node_.Send(kControl, {0x00}); });
}

void AtmelBootloader::OnWindow(const CanMessage& message) {
  if (message.length < 5) return;
  const uint32_t from = Word(message, 1);
  const uint32_t to = Word(message, 3);
  if (message.data[0] == kBlankCheck) {
    if (Blank(from, to) && !blankNonzero_) {
      node_.Send(kWindow, std::span<const uint8_t>());
      return;
    }
    blankNonzero_ = false;
    // Not blank: the first address that holds something (never all 0xFF).
    uint32_t first = from;
    while (first <= to && FlashAt(first) == 0xFF) ++first;
    node_.Send(kWindow, {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first)});
  } else if (message.data[0] == kDisplay && !readProtected_) {
    uint8_t bytes[8];
    for (uint32_t i = 0; i < 8; ++i) bytes[i] = FlashAt(from + i);
    node_.Send(kWindow, bytes);
  }
}

bool AtmelBootloader::Blank(uint32_t from, uint32_t to) const {
  for (uint32_t address = from; address <= to && address < kFlashSize; ++address) {
    if (flash_[address] != 0xFF) return false;
  }
  return true;
}

void AtmelBootloader::OnRange(const CanMessage& message) {
  if (message.length < 5) return;
  range_ = std::pair{Word(message, 1), Word(message, 3)};
  writeAt_ = range_->first;
  dataFrames_ = 0;
  answeringData_ = true;  // a new pass
  rangeEnd_ = std::min<size_t>(size_t{range_->second} + 1, kFlashSize);
  node_.Send(kRange, {0x00});
}

void AtmelBootloader::OnData(const CanMessage& message) {
  if (!answeringData_) return;
  if (stopAfter_ && dataFrames_ >= *stopAfter_) {
    stopAfter_.reset();
    answeringData_ = false;
    node_.Note("stops answering after data frame " + std::to_string(dataFrames_));
    return;
  }
  ++dataFrames_;
  for (uint8_t i = 0; i < message.length && range_ && writeAt_ <= range_->second; ++i, ++writeAt_) {
    if (writeAt_ < kFlashSize) flash_[writeAt_] = message.data[i];
    if (badByte_ && writeAt_ == *badByte_) StoreWrongly();
  }
  node_.Send(kData, {static_cast<uint8_t>(RangeDone() ? 0x00 : 0x01)});
  if (powerCut_ && dataFrames_ == *powerCut_) {
    powerCut_.reset();
    node_.CutPower();
  }
}

// A cell that takes its byte wrongly once: every bit flipped, so it never
// matches; the next write of the address is stored right.
void AtmelBootloader::StoreWrongly() {
  if (*badByte_ < kFlashSize) flash_[*badByte_] = static_cast<uint8_t>(~flash_[*badByte_]);
  node_.Note("stores the byte at " + std::to_string(*badByte_) + " wrongly");
  badByte_.reset();
}

std::vector<uint8_t> AtmelBootloader::Image() const {
  const auto content = std::find_if(flash_.rbegin(), flash_.rend(), [](uint8_t byte) { return byte != 0xFF; });
  const size_t end = std::max<size_t>(static_cast<size_t>(flash_.rend() - content), rangeEnd_);
  return std::vector<uint8_t>(flash_.begin(), flash_.begin() + static_cast<std::ptrdiff_t>(end));
}
