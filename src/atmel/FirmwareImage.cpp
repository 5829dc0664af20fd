#include "atmel/FirmwareImage.h"

void FirmwareImage::Erase() {
  bytes_.fill(0xFF);
  end_ = 0;
}

bool FirmwareImage::Read(const std::string& fileName) { return IntelHexReader(bytes_, end_).ReadFile(fileName); }

std::optional<uint16_t> FirmwareImage::FirstDifference(uint16_t first, const std::array<uint8_t, 8>& bytes) const {
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    const uint32_t address = first + i;
    if (bytes[i] != (address < bytes_.size() ? bytes_[address] : 0xFF)) return static_cast<uint16_t>(address);
  }
  return std::nullopt;
}
