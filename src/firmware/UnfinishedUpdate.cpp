#include "firmware/UnfinishedUpdate.h"

#include <array>
#include <cinttypes>
#include <filesystem>
#include <cstdlib>
#include <cstdio>
#include <set>
#include <sstream>
#include <vector>

#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "firmware/KeptProgram.h"
#include "system/DosPath.h"
#include "system/DurableFile.h"

namespace {

// On drive d:, which stays in the console, unlike the removable drive e:.
constexpr char kRecordFolder[] = "d:\\lumen\\uploader\\";
constexpr int32_t kLastSlot = 99;              // two digits in the record's name
constexpr uint64_t kLargestFile = 16u << 20;  // far beyond any node's hex file

std::string RecordName(int32_t slot) {
  char name[32];
  std::snprintf(name, sizeof name, "slot%02d.txt", static_cast<int>(slot));
  return std::string(kRecordFolder) + name;
}

std::string RecordPath(int32_t slot) { return MapDosPath(RecordName(slot)); }

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Whole numbers only: "12x" or "" are no number.
template <typename Number>
bool ReadNumber(const std::string& text, int base, Number& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, base);
  if (*end != '\0' || text[0] == '-') return false;
  value = static_cast<Number>(parsed);
  return static_cast<unsigned long long>(value) == parsed;
}

}  // namespace

bool UnfinishedUpdate::TakeFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!LoadHexFile(name, bytes)) return false;
  fileName = name;
  size = bytes.size();
  checksum = Crc32(bytes);
  return true;
}

bool UnfinishedUpdate::FileUnchanged() const {
  UnfinishedUpdate now;
  return now.TakeFile(fileName) && now.size == size && now.checksum == checksum;
}

bool UnfinishedUpdate::Save() const { return DurableFile::Write(RecordPath(slot), Text()); }

std::optional<UnfinishedUpdate> UnfinishedUpdate::Load(int32_t slot) {
  std::string text;
  if (!DurableFile::Read(RecordPath(slot), text)) return std::nullopt;
  std::optional<UnfinishedUpdate> record = Parse(text);
  if (record && record->slot == slot) return record;
  WriteLog(("WARNING: unfinished update record refused: " + RecordName(slot)).c_str());
  return std::nullopt;
}

bool UnfinishedUpdate::Exists(int32_t slot) {
  std::error_code error;
  return std::filesystem::exists(RecordPath(slot), error);
}

bool UnfinishedUpdate::Remove(int32_t slot) { return DurableFile::Remove(RecordPath(slot)); }

std::string UnfinishedUpdate::Text() const {
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "size=%" PRIu64 "\nchecksum=%08" PRIX32 "\nbootloader=%d\n", size, checksum,
                static_cast<int>(bootloader));
  return "slot=" + std::to_string(slot) + "\nlabel=" + label + "\nfile=" + fileName + "\n" + numbers + "kept=" + kept +
         "\nend\n";
}

// Each field once; "kept" may be missing, as in the records written before
// there was one.
std::optional<UnfinishedUpdate> UnfinishedUpdate::Parse(const std::string& text) {
  UnfinishedUpdate record;
  std::istringstream lines(text);
  std::string line;
  std::set<std::string> fields;
  while (std::getline(lines, line)) {
    if (line == "end") {
      const bool whole = fields.size() == 6 + fields.count("kept");
      return whole && record.InRange() ? std::optional(record) : std::nullopt;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    bool read = key == "slot"         ? ReadNumber(value, 10, record.slot)
                : key == "label"      ? (record.label = value, true)
                : key == "file"       ? (record.fileName = value, true)
                : key == "size"       ? ReadNumber(value, 10, record.size)
                : key == "checksum"   ? ReadNumber(value, 16, record.checksum)
                : key == "bootloader" ? ReadNumber(value, 10, record.bootloader)
                : key == "kept"       ? (record.kept = value, true)
                                      : false;
    if (!read || !fields.insert(key).second) return std::nullopt;
  }
  return std::nullopt;  // cut before its end
}

// The files are plain names in the hex folder or kept programs' names, never
// paths that leave it.
bool UnfinishedUpdate::InRange() const {
  const bool files = (IsPlainFileName(fileName) || KeptProgram::IsKept(fileName)) &&
                     (kept.empty() || KeptProgram::IsKept(kept));
  return files && slot >= 1 && slot <= kLastSlot && size > 0 && size <= kLargestFile &&
         bootloader >= kNoBootloader && bootloader <= kAtmelBootloader;
}
