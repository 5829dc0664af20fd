#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "firmware/IntelHexReader.h"

// The Atmel node's program memory as the engine sends it: 32768 bytes for
// addresses 0x0000 to 0x7FFF and the end of the programmed part. Addresses no
// record covers keep the erased value 0xFF.
class FirmwareImage {
 public:
  static constexpr uint32_t kWindowBytes = 8;
  // The bytes of one display window, as the node shows them.
  using Window = std::array<uint8_t, kWindowBytes>;

  FirmwareImage() { Erase(); }

  // All bytes 0xFF, end 0.
  void Erase();
  // Parses the named hex file of the hex folder on top of the current content.
  bool Read(const std::string& fileName);

  // Takes a window read from the node at first; what lies past the memory's end is dropped.
  void Store(uint16_t first, const Window& bytes);

  uint16_t End() const { return end_; }
  const uint8_t* At(uint16_t address) const { return bytes_.data() + address; }
  std::span<const uint8_t, kNodeMemorySize> Bytes() const { return bytes_; }
  // Every byte of the memory alike, whatever either end says.
  bool SameBytes(const FirmwareImage& other) const { return bytes_ == other.bytes_; }
  // The address of the first of bytes that differs from the image from first on;
  // past the memory's end the image counts as erased.
  std::optional<uint16_t> FirstDifference(uint16_t first, const Window& bytes) const;

 private:
  std::array<uint8_t, kNodeMemorySize> bytes_;
  uint16_t end_ = 0;
};
