#include "firmware/IntelHexReader.h"

#include <fstream>
#include <limits>

#include "console/ProgramScreen.h"
#include "firmware/HexFileAccess.h"
#include "system/DosPath.h"

namespace {

constexpr size_t kMaxParsedDigits = 15;

// Everything before a record's ":" (line ends, blanks, other text) is skipped.
bool SkipToRecord(std::istream& in) {
  in.ignore(std::numeric_limits<std::streamsize>::max(), ':');
  return !in.eof() && !in.fail();
}

// A record field is a fixed count of characters; a file that ends inside one
// is cut short.
bool ReadField(std::istream& in, size_t width, uint32_t& value) {
  char text[4];
  if (!in.read(text, static_cast<std::streamsize>(width))) return false;
  value = static_cast<uint32_t>(ParseHex(std::string_view(text, width)));
  return true;
}

const char* FailureText(IntelHexReader::Result result) {
  switch (result) {
    case IntelHexReader::Result::kBadChecksum:
      return "Encounter invalid checksum in hex file.";
    case IntelHexReader::Result::kOutsideMemory:
      return "Hex file data lies outside the node's 32 KB memory.";
    default:
      return "Cannot read from selected hex file.";
  }
}

}  // namespace

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint64_t ParseHex(std::string_view text) {
  uint64_t value = 0;
  for (size_t i = 0; i < text.size() && i < kMaxParsedDigits; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = (value << 4) | static_cast<uint64_t>(digit);
  }
  return value;
}

// A file that ends before its byte-count-0 record was cut short on the drive,
// and a cut image must never reach the node: it fails like an unreadable file.
// Data at 0x8000 and above cannot belong to this node's 32 KB memory, so the
// file is refused before the node is touched; no byte lands outside the image.
IntelHexReader::Result IntelHexReader::Read(std::istream& in) {
  uint32_t runningEnd = 0;
  for (;;) {
    uint32_t count = 0;
    uint32_t address = 0;
    uint32_t type = 0;
    if (!SkipToRecord(in) || !ReadField(in, 2, count)) return Result::kUnreadable;
    if (count == 0) return Result::kComplete;
    if (!ReadField(in, 4, address) || !ReadField(in, 2, type)) return Result::kUnreadable;
    uint8_t sum = static_cast<uint8_t>(type + (address >> 8) + (address & 0xFF) + count);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t byte = 0;
      if (!ReadField(in, 2, byte)) return Result::kUnreadable;
      sum = static_cast<uint8_t>(sum + byte);
      if (address + i < kNodeMemorySize) image_[address + i] = static_cast<uint8_t>(byte);
    }
    const bool outside = address + count > kNodeMemorySize;
    if (!outside && address >= runningEnd) runningEnd = address + count;
    imageEnd_ = static_cast<uint16_t>(runningEnd);
    uint32_t checksum = 0;
    if (!ReadField(in, 2, checksum)) return Result::kUnreadable;
    if (static_cast<uint8_t>(0x100 - sum) != checksum) return Result::kBadChecksum;
    if (outside) return Result::kOutsideMemory;
  }
}

bool IntelHexReader::ReadFile(const std::string& name) {
  WriteLog("Sorting");
  std::ifstream file(MapDosPath(HexFileDosPath(name)));
  Result result = file.is_open() ? Read(file) : Result::kUnreadable;
  if (result == Result::kComplete) return true;
  if (ProgramScreen* screen = TheScreen()) screen->ShowMessage("ERROR!!!", FailureText(result));
  return false;
}
