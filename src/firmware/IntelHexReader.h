#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <string_view>

// The Atmel node's program memory, addresses 0x0000 to 0x7FFF.
inline constexpr size_t kNodeMemorySize = 32768;

// The value of one hexadecimal digit of either case; -1 for any other character.
int HexDigit(char c);

// The value of the hexadecimal digits at the start of text, most significant
// first. At most 15 characters are looked at; the first character that is not
// a hex digit ends the number, and no digits give 0 ("1G" is 1, "G1" is 0).
uint64_t ParseHex(std::string_view text);

// Reads Intel HEX records into a memory image of the node. Every record with a
// non-zero byte count is data at its own 16-bit address, whatever its type;
// later records overwrite earlier bytes. A record with byte count 0 ends the
// file. The image end follows the running end: a record that starts at or above
// it moves it to the record's end, a record that starts below it never does.
class IntelHexReader {
 public:
  // kUnreadable: the file does not open, fails to read, or ends before its
  // byte-count-0 record.
  enum class Result { kComplete, kUnreadable, kBadChecksum, kOutsideMemory };

  IntelHexReader(std::span<uint8_t, kNodeMemorySize> image, uint16_t& imageEnd) : image_(image), imageEnd_(imageEnd) {}

  // Parses records from in until a record with byte count 0 or a failure.
  Result Read(std::istream& in);

  // Shows "Sorting", then reads the named file of the hex folder. A failure
  // shows its "ERROR!!!" box and gives false.
  bool ReadFile(const std::string& name);

 private:
  std::span<uint8_t, kNodeMemorySize> image_;
  uint16_t& imageEnd_;
};
