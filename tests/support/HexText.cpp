#include "HexText.h"

#include <cstdio>
#include <random>

std::string HexRecord(uint8_t type, uint16_t address, const std::string& bytes) {
  std::string record(1, ':');
  unsigned sum = 0;
  auto put = [&](unsigned byte) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", byte & 0xFF);
    record += digits;
    sum += byte;
  };
  put(static_cast<unsigned>(bytes.size()));
  put(address >> 8);
  put(address & 0xFF);
  put(type);
  for (char byte : bytes) put(static_cast<uint8_t>(byte));
  put(0x100 - (sum & 0xFF));
  return record + "\r\n";
}

std::string IntelHex(const std::string& image, uint16_t address) {
  std::string text;
  for (size_t at = 0; at < image.size(); at += 16)
    text += HexRecord(0, static_cast<uint16_t>(address + at), image.substr(at, 16));
  return text + HexRecord(1, 0, "");
}

std::string RandomImage(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string image(size, '\0');
  for (char& byte : image) byte = static_cast<char>(random() & 0xFF);
  return image;
}

std::string MemoryOf(const std::string& text) {
  std::string memory(32768, '\xFF');
  for (size_t at = text.find(':'); at != std::string::npos; at = text.find(':', at + 1)) {
    const auto byte = [&](size_t index) { return std::stoi(text.substr(at + 1 + 2 * index, 2), nullptr, 16); };
    const int count = byte(0), address = byte(1) << 8 | byte(2);
    if (byte(3) != 0) continue;
    for (int i = 0; i < count && address + i < 32768; ++i) memory[address + i] = static_cast<char>(byte(4 + i));
  }
  return memory;
}
