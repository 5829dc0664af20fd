#include "firmware/HexFileCheck.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "firmware/HexFileAccess.h"
#include "firmware/IntelHexReader.h"
#include "system/DosPath.h"

namespace {

constexpr uint8_t kDataType = 0x00;
constexpr uint8_t kEndType = 0x01;
constexpr size_t kHeaderBytes = 4;  // byte count, address (two), type

// The bytes that pairs of hex digits spell; false for an odd count or a non-digit.
bool DecodeBytes(std::string_view digits, std::vector<uint8_t>& bytes) {
  if (digits.size() % 2 != 0) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigit(digits[i]);
    const int low = HexDigit(digits[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}

}  // namespace

bool HexFileCheck::Accepts(const std::string& name) {
  std::ifstream file(MapDosPath(HexFileDosPath(name)), std::ios::binary);
  return file.is_open() && Accepts(file);
}

// Records after the end record must be whole too; data must come before it.
bool HexFileCheck::Accepts(std::istream& in) {
  bool records = false;
  bool data = false;
  bool ended = false;
  std::string line;
  while (std::getline(in, line)) {
    const Line kind = Classify(line);
    if (kind == Line::kBroken || (kind == Line::kEnd && !data) || (kind == Line::kText && records)) return false;
    records |= kind != Line::kText && kind != Line::kBlank;
    ended |= kind == Line::kEnd;
    data |= kind == Line::kData;
  }
  return ended && !in.bad();
}

HexFileCheck::Line HexFileCheck::Classify(std::string_view line) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return Line::kBlank;
  line = line.substr(0, line.find_last_not_of('\r') + 1);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return IsDamagedRecord(line) ? Line::kBroken : Line::kText;
  return colon == 0 ? ClassifyRecord(line.substr(1)) : Line::kBroken;
}

// A record whose ":" was lost or turned into another character: hex digits
// from the second character on, enough for a record without data.
bool HexFileCheck::IsDamagedRecord(std::string_view line) {
  constexpr size_t kShortestRecordDigits = 2 * (kHeaderBytes + 1);
  if (line.size() < 1 + kShortestRecordDigits) return false;
  return std::all_of(line.begin() + 1, line.end(), [](char c) { return HexDigit(c) >= 0; });
}

// Byte count, address, type, data, checksum: the count must match the data
// and all bytes must add up to 0. Only the end record carries no data.
HexFileCheck::Line HexFileCheck::ClassifyRecord(std::string_view digits) {
  std::vector<uint8_t> bytes;
  if (!DecodeBytes(digits, bytes) || bytes.size() < kHeaderBytes + 1) return Line::kBroken;
  if (bytes[0] != bytes.size() - kHeaderBytes - 1) return Line::kBroken;
  uint8_t sum = 0;
  for (uint8_t byte : bytes) sum = static_cast<uint8_t>(sum + byte);
  if (sum != 0) return Line::kBroken;
  const bool empty = bytes[0] == 0;
  const uint8_t type = bytes[3];
  if (empty || type == kEndType) return empty && type == kEndType ? Line::kEnd : Line::kBroken;
  return type == kDataType ? Line::kData : Line::kOtherRecord;
}
