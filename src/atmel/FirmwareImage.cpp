#include "atmel/FirmwareImage.h"

void FirmwareImage::Erase() {
  bytes_.fill(0xFF);
  end_ = 0;
}

bool FirmwareImage::Read(const std::string& fileName) { return IntelHexReader(bytes_, end_).ReadFile(fileName); }
