#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Bootloader.h"
#include "InitialFlash.h"

class Node;

// The Atmel bootloader: binary commands on the standard identifiers 0 to 5,
// each answered on its own identifier, over a 32 KB flash that the console
// fills with 8-byte data frames from the start of an announced range.
class AtmelBootloader final : public Bootloader {
 public:
  static constexpr size_t kFlashSize = InitialFlash::kSize;

  explicit AtmelBootloader(Node& node);

  void Start() override;
  void Announce() override;
  void OnFrame(const CanMessage& message) override;
  bool UpdateComplete() const override { return erased_ && RangeDone(); }
  // From address 0 to the last byte that is not 0xFF or the end of the last
  // announced range, whichever is further.
  std::vector<uint8_t> Image() const override;

 private:
  enum Id : uint32_t { kOpen = 0, kRange = 1, kData = 2, kWindow = 3, kControl = 4, kRegisters = 5 };

  void OnControl(const CanMessage& message);
  void OnWindow(const CanMessage& message);
  void OnRange(const CanMessage& message);
  void OnData(const CanMessage& message);
  void Erase();
  void StoreWrongly();
  bool Blank(uint32_t from, uint32_t to) const;
  bool RangeDone() const { return range_ && writeAt_ > range_->second; }
  uint8_t FlashAt(uint32_t address) const { return address < kFlashSize ? flash_[address] : 0xFF; }

  Node& node_;
  InitialFlash::Bytes flash_;
  bool erased_ = false;
  bool readProtected_;  // display requests go unanswered until the next erase
  std::optional<std::pair<uint32_t, uint32_t>> range_;  // first and last address, this session
  size_t rangeEnd_ = 0;                                 // survives restarts
  uint32_t writeAt_ = 0;
  uint32_t dataFrames_ = 0;
  bool answeringData_ = true;
  bool blankNonzero_;
  std::optional<uint32_t> stopAfter_;
  std::optional<uint32_t> powerCut_;
  std::optional<uint32_t> badByte_;
};
