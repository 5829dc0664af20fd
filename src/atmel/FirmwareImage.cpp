#include "atmel/FirmwareImage.h"

void FirmwareImage::Erase() {
  bytes_.fill(0xFF);
  end_ = 0;
}

bool FirmwareImage::Read(const std::string& fileName) { return IntelHexReader(bytes_, end_).ReadFile(fileName); }

void FirmwareImage::Store(uint16_t first, const Window& bytes) {
  for (uint32_t i = 0; i < bytes.size() && first + i < bytes_.size(); ++i) bytes_[first + i] = bytes[i];
}

std::optional<uint16_t> FirmwareImage::FirstDifference(uint16_t first, const Window& bytes) const {
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    const uint32_t address = first + i;
    if (bytes[i] != (address < bytes_.size() ? bytes_[address] : 0xFF)) return static_cast<uint16_t>(address);
  }
  return std::nullopt;
}
