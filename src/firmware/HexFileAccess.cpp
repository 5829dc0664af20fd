#include "firmware/HexFileAccess.h"

#include <fstream>

#include "console/ProgramScreen.h"
#include "firmware/HexFolder.h"
#include "system/DosPath.h"

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

std::string HexFileDosPath(const std::string& name) { return kHexFolder + name; }

bool AccessHexFile(const std::string& name) {
  std::ifstream file(MapDosPath(HexFileDosPath(name)), std::ios::binary);
  if (file.is_open()) return true;
  if (ProgramScreen* screen = TheScreen()) screen->ShowMessage("ERROR!!!", "Cannot open selected hex file.");
  return false;
}

bool LoadHexFile(const std::string& name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::ifstream file(MapDosPath(HexFileDosPath(name)), std::ios::binary | std::ios::ate);
  if (!file.is_open()) return false;
  const std::streamoff length = file.tellg();
  if (length < 0) return false;
  bytes.resize(static_cast<size_t>(length));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), length)) {
    bytes.clear();
    return false;
  }
  return true;
}
