#include "HexRecord.h"

namespace {

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads the byte at text[at], at+1; false when either is no hex digit.
bool ReadByte(std::string_view text, size_t at, uint8_t& value) {
  const int high = Nibble(text[at]);
  const int low = Nibble(text[at + 1]);
  if (high < 0 || low < 0) return false;
  value = static_cast<uint8_t>(high << 4 | low);
  return true;
}

}  // namespace

std::optional<HexRecord> HexRecord::Parse(std::string_view line) {
  constexpr size_t kFixedBytes = 5;  // count, offset (2), type, checksum
  if (line.size() < 1 + 2 * kFixedBytes || line[0] != ':' || (line.size() - 1) % 2 != 0) return std::nullopt;
  const size_t byteCount = (line.size() - 1) / 2;
  uint8_t bytes[255 + kFixedBytes];
  if (byteCount > sizeof bytes) return std::nullopt;
  uint8_t sum = 0;
  for (size_t i = 0; i < byteCount; ++i) {
    if (!ReadByte(line, 1 + 2 * i, bytes[i])) return std::nullopt;
    sum = static_cast<uint8_t>(sum + bytes[i]);
  }
  if (sum != 0 || bytes[0] != byteCount - kFixedBytes) return std::nullopt;
  HexRecord record;
  record.count = bytes[0];
  record.offset = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
  record.type = bytes[3];
  for (size_t i = 0; i < record.count; ++i) record.data[i] = bytes[4 + i];
  return record;
}
