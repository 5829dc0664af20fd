#include "firmware/KeptProgram.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <system_error>

#include "firmware/HexFileAccess.h"
#include "firmware/HexFolder.h"
#include "system/DirectoryListing.h"
#include "system/DosPath.h"
#include "system/DurableFile.h"

namespace {

constexpr const char* kKeptFolder = KeptProgram::kFolder;
constexpr char kExtension[] = ".hex";
constexpr size_t kRecordBytes = 16;
// A FAT name holds 255 characters; the rest of a kept name, a copy's number
// and the temporary file's ".tmp" stay well below 75.
constexpr size_t kLongestLabel = 180;

// The characters a FAT drive refuses in a name become '_' (a NUL among them,
// so the label stays whole as a C string).
std::string FatSafe(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
      c = '_';
  return text;
}

// One data record (type 00) with its checksum. CRLF line ends, as DOS-side
// tools and editors expect of a file on this drive; the program's own readers
// take either.
std::string Record(size_t address, std::span<const uint8_t> bytes) {
  std::string record(1, ':');
  uint8_t sum = 0;
  const auto put = [&](uint8_t byte) {
    record += "0123456789ABCDEF"[byte >> 4];
    record += "0123456789ABCDEF"[byte & 0x0F];
    sum = static_cast<uint8_t>(sum + byte);
  };
  put(static_cast<uint8_t>(bytes.size()));
  put(static_cast<uint8_t>(address >> 8));
  put(static_cast<uint8_t>(address));
  put(0x00);
  for (uint8_t byte : bytes) put(byte);
  put(static_cast<uint8_t>(0x100 - sum));
  return record + "\r\n";
}

// Lines that are all 0xFF are left out: they read back as 0xFF, as an erased
// node holds them, and the file stays a fraction of the memory's size.
std::string IntelHexText(std::span<const uint8_t, kNodeMemorySize> memory) {
  std::string text;
  for (size_t at = 0; at < memory.size(); at += kRecordBytes) {
    const std::span<const uint8_t> line = memory.subspan(at, kRecordBytes);
    if (!std::ranges::all_of(line, [](uint8_t byte) { return byte == 0xFF; })) text += Record(at, line);
  }
  return text + ":00000001FF\r\n";
}

bool ReadsBackAs(const std::string& path, std::span<const uint8_t, kNodeMemorySize> memory) {
  std::string text;
  if (!DurableFile::Read(path, text)) return false;
  std::array<uint8_t, kNodeMemorySize> image;
  image.fill(0xFF);
  uint16_t end = 0;
  std::istringstream in(text);
  return IntelHexReader(image, end).Read(in) == IntelHexReader::Result::kComplete && std::ranges::equal(image, memory);
}

bool Exists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(MapDosPath(HexFileDosPath(name)), error);
}

// name itself, or with the first copy number that no file has.
std::string FreeName(const std::string& name) {
  const std::string stem = name.substr(0, name.size() - (name.ends_with(kExtension) ? sizeof kExtension - 1 : 0));
  std::string free = name;
  for (int copy = 2; Exists(free); ++copy) free = stem + " " + std::to_string(copy) + name.substr(stem.size());
  return free;
}

// A listed file with the time in its name, which orders the list; empty for
// a name that does not follow the pattern. Copies of one name share the time:
// they are kept in one second, so their order tells the operator nothing.
struct Entry {
  KeptProgram::Listed listed;
  std::string when;
};

Entry Describe(const std::string& file) {
  static const std::regex pattern(
      R"(P\d{3,} (.*) slot\d{2,} (\d{4}-\d{2}-\d{2}) (\d{2})-(\d{2})-(\d{2})(?: \d+)?\.hex)", std::regex::icase);
  std::smatch parts;
  const std::string name = kKeptFolder + file;
  if (!std::regex_match(file, parts, pattern)) return {{name, file}, ""};
  const std::string rowText = parts[1].str() + " kept " + parts[2].str() + " " + parts[3].str() + ":" + parts[4].str();
  const std::string when = parts[2].str() + parts[3].str() + parts[4].str() + parts[5].str();
  return {{name, rowText}, when};
}

}  // namespace

std::string KeptProgram::NameFor(int32_t program, const std::string& label, int32_t slot, std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char time[32];
  std::strftime(time, sizeof time, "%Y-%m-%d %H-%M-%S", &local);
  char name[64 + kLongestLabel];
  std::snprintf(name, sizeof name, "P%03d %s slot%02d %s", static_cast<int>(program),
                FatSafe(label.substr(0, kLongestLabel)).c_str(), static_cast<int>(slot), time);
  return kKeptFolder + std::string(name) + kExtension;
}

KeptProgram::Saved KeptProgram::Save(const std::string& name, std::span<const uint8_t, kNodeMemorySize> memory) {
  Saved saved{FreeName(name), ""};
  // The hex folder is the drive's: without it the drive is gone, and a folder
  // made in its place would keep the program on the console instead.
  std::error_code error;
  if (!std::filesystem::is_directory(MapDosPath(kHexFolder), error))
    return {saved.name, std::system_category().message(ENOENT)};
  const std::string path = MapDosPath(HexFileDosPath(saved.name));
  if (!DurableFile::Write(path, IntelHexText(memory), &saved.reason)) return saved;
  if (!ReadsBackAs(path, memory)) {
    DurableFile::Remove(path);
    saved.reason = "the file read back differs";
  }
  return saved;
}

std::vector<KeptProgram::Listed> KeptProgram::List() {
  std::vector<Entry> entries;
  DirectoryListing listing;
  std::string file;
  if (listing.Open(kHexFolder + std::string(kKeptFolder) + "*" + kExtension))
    while (listing.Next(file)) entries.push_back(Describe(file));
  std::ranges::stable_sort(entries, [](const Entry& a, const Entry& b) { return a.when > b.when; });
  std::vector<Listed> listed;
  for (Entry& entry : entries) listed.push_back(std::move(entry.listed));
  return listed;
}

bool KeptProgram::IsKept(const std::string& name) {
  return name.starts_with(kKeptFolder) && IsPlainFileName(FileName(name));
}
