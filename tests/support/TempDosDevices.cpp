#include "TempDosDevices.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TempDosDevices::TempDosDevices() {
  std::string pattern = (fs::temp_directory_path() / "dosdevices-XXXXXX").string();
  root_ = mkdtemp(pattern.data()) ? pattern : std::string();
  setenv("LUMEN_DOSDEVICES", root_.c_str(), 1);
}

TempDosDevices::~TempDosDevices() {
  unsetenv("LUMEN_DOSDEVICES");
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void TempDosDevices::MakeFolder(const std::string& relative) const {
  fs::create_directories(fs::path(root_) / relative);
}

void TempDosDevices::WriteFile(const std::string& relative, const std::string& content) const {
  const fs::path path = fs::path(root_) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string TempDosDevices::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
