#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Bootloader.h"
#include "HexRecord.h"

class Node;

// The ST10 bootloader: ASCII commands and the hex file's own text on
// 0x18EFF110, answers on 0x18EF10F1. It puts the streamed frames back
// together into lines, checks and programs each record, and answers every
// line; a line it cannot take is reported with its number.
class St10Bootloader final : public Bootloader {
 public:
  static constexpr uint32_t kCommandId = 0x18EFF110;
  static constexpr uint32_t kReplyId = 0x18EF10F1;
  static constexpr uint32_t kFlashEnd = 0x1000000;  // the 16 MB address space
  static constexpr size_t kLongestLine = 600;       // a record has at most 521 characters

  explicit St10Bootloader(Node& node);

  void Start() override;
  void Announce() override;
  void OnFrame(const CanMessage& message) override;
  bool UpdateComplete() const override { return complete_; }
  // From address 0 to the highest byte written since the erase.
  std::vector<uint8_t> Image() const override { return flash_; }

  // The two bytes that the console, printing each with "%X" and reading the
  // text back as one hexadecimal number, turns into the line number n.
  static std::pair<uint8_t, uint8_t> LineNumberBytes(uint32_t n);

 private:
  bool OnCommand(const CanMessage& message);
  void OnText(const CanMessage& message);
  void OnLine();
  void OnRecord(const HexRecord& record);
  bool Write(const HexRecord& record);
  void Accept();
  void Fail(std::initializer_list<uint8_t> report);
  void FailLine();

  Node& node_;
  std::vector<uint8_t> flash_;
  std::string line_;
  bool streaming_ = false;  // between "<Prog>" and the end record or an error
  bool erased_ = false;
  bool complete_ = false;
  uint32_t lineNumber_ = 0;
  uint32_t accepted_ = 0;
  uint32_t base_ = 0;  // from the extended address records
  std::optional<uint32_t> stopAfter_;
  std::optional<uint32_t> lineError_;
  std::optional<uint32_t> powerCut_;
  bool stuckReset_;
};
