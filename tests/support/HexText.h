#pragma once

#include <cstdint>
#include <string>

// Intel HEX as a file on the drive holds it, CRLF line ends.
// One record with its length and checksum worked out.
std::string HexRecord(uint8_t type, uint16_t address, const std::string& bytes);
// The image in 16-byte data records from address on, then the end record.
std::string IntelHex(const std::string& image, uint16_t address = 0);
// size bytes of noise, the same for the same seed.
std::string RandomImage(size_t size, unsigned seed);
// The 32 KB memory a node holds after taking the data records of text: 0xFF
// where no record writes.
std::string MemoryOf(const std::string& text);
