#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "InitialFlash.h"

enum class BootloaderKind { St10, Atmel };

// One node on the virtual bus as a scenario line describes it:
// "address=0x30,program=144,boot=st10,after=145,fault=slow-erase=3000".
struct NodeConfig {
  uint8_t address = 0;
  uint16_t program = 0;
  BootloaderKind boot = BootloaderKind::St10;
  std::optional<uint16_t> after;  // program number once an update completed

  // Starts without an application, waiting in its bootloader (as after a
  // failed update).
  bool startInBootloader = false;
  // Atmel: the flash at start-up, read from flash=PATH; without it the node
  // holds a program of its own.
  std::optional<InitialFlash::Bytes> flash;

  // Faults. silent and no-bootloader last for the node's life; the others
  // spoil one update each (a retry then succeeds).
  bool silent = false;
  bool noBootloader = false;
  bool blankNonzero = false;
  bool stuckReset = false;  // ST10: one <Reset> neither answered nor done
  uint32_t slowEraseMs = 0;
  uint32_t lateStartMs = 0;
  std::optional<uint32_t> stopAfter;  // lines (ST10) or data frames (Atmel)
  std::optional<uint32_t> lineError;  // ST10 line number reported as bad
  std::optional<uint32_t> powerCut;   // lines or data frames before the power goes
  std::optional<uint32_t> badByte;    // Atmel address whose first write is stored wrongly
  bool noDisplay = false;             // Atmel: display requests unanswered until the next erase

  // Parses one node description; on failure returns nothing and says why.
  static std::optional<NodeConfig> Parse(const std::string& text, std::string& error);
};

// Reads "0x1F" as hexadecimal and anything else as decimal; false unless the
// whole text is a number that fits in max.
bool ParseBenchNumber(const std::string& text, uint32_t max, uint32_t& value);
