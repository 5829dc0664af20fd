#include "InitialFlash.h"

#include <algorithm>
#include <fstream>

#include "HexRecord.h"

namespace {

constexpr size_t kShortest = 10 * 1024;
constexpr size_t kLongest = 20 * 1024;

// A xorshift generator: unlike the tests' random images, so that no image a
// test writes ever equals the program a node already runs.
class ProgramBytes {
 public:
  ProgramBytes(uint8_t address, uint16_t program) : state_(0x9E3779B9u ^ (uint32_t{address} << 16 | program)) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  uint32_t state_;
};

InitialFlash::Bytes Generate(uint8_t address, uint16_t program, size_t share) {
  ProgramBytes bytes(address, program);
  const size_t length = kShortest + bytes.Next() % (kLongest - kShortest + 1);
  InitialFlash::Bytes flash;
  flash.fill(0xFF);
  std::generate_n(flash.begin(), length / share, [&] { return static_cast<uint8_t>(bytes.Next() >> 24); });
  return flash;
}

// What keeps the record out of a 32 KB flash, or nothing once it is stored.
std::string Store(const HexRecord& record, InitialFlash::Bytes& flash) {
  switch (record.type) {
    case HexRecord::kData:
      if (size_t{record.offset} + record.count > InitialFlash::kSize) return "writes outside the 32 KB flash";
      std::copy_n(record.data.begin(), record.count, flash.begin() + record.offset);
      return "";
    case HexRecord::kSegmentAddress:
    case HexRecord::kLinearAddress:
      return record.Value() == 0 ? "" : "moves the address beyond the 32 KB flash";
    case HexRecord::kEnd:
    case HexRecord::kSegmentStart:
    case HexRecord::kLinearStart:
      return "";
    default:
      return "unknown record type";
  }
}

}  // namespace

InitialFlash::Bytes InitialFlash::Program(uint8_t address, uint16_t program) { return Generate(address, program, 1); }

InitialFlash::Bytes InitialFlash::Interrupted(uint8_t address, uint16_t program) {
  return Generate(address, program, 3);
}

std::optional<InitialFlash::Bytes> InitialFlash::Read(const std::string& path, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read '" + path + "'";
    return std::nullopt;
  }
  Bytes flash;
  flash.fill(0xFF);
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    line.erase(line.find_last_not_of("\r \t") + 1);
    if (line.empty()) continue;
    const std::optional<HexRecord> record = HexRecord::Parse(line);
    error = record ? Store(*record, flash) : "not an Intel HEX record, or its checksum is wrong";
    if (!error.empty()) {
      error = path + ":" + std::to_string(number) + ": " + error;
      return std::nullopt;
    }
    if (record->type == HexRecord::kEnd) return flash;
  }
  error = "'" + path + "' has no end record";
  return std::nullopt;
}
