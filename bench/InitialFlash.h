#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What an Atmel node's 32 KB flash holds when the bench starts: the program
// a node in the field runs before anyone updates it.
class InitialFlash {
 public:
  static constexpr size_t kSize = 32768;
  using Bytes = std::array<uint8_t, kSize>;

  // The node's own program: 10 to 20 KB drawn from a generator seeded by its
  // address and program number, 0xFF beyond.
  static Bytes Program(uint8_t address, uint16_t program);
  // What an update that failed after its erase leaves: the first third of
  // the program, 0xFF beyond.
  static Bytes Interrupted(uint8_t address, uint16_t program);
  // The data records of an Intel HEX file at their 16-bit addresses, 0xFF
  // elsewhere; nothing, and why, when the file cannot be read, a record is
  // bad, writes outside the 32 KB or the end record is missing.
  static std::optional<Bytes> Read(const std::string& path, std::string& error);
};
