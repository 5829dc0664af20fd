#include "system/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t written = write(fd, content.data() + done, content.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// A rename or removal is only on the disk once its folder is.
bool SyncFolder(const fs::path& folder) {
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

// Each folder made is on the disk once its parent is, top down: a power cut
// right after the first record must not lose the folder and the record.
bool MakeFolders(const fs::path& folder) {
  std::error_code error;
  if (folder.empty() || fs::is_directory(folder, error)) return true;
  if (!MakeFolders(folder.parent_path())) return false;
  return fs::create_directory(folder, error) && SyncFolder(folder.parent_path());
}

}  // namespace

bool DurableFile::Write(const std::string& path, const std::string& content) {
  const fs::path target(path);
  if (!MakeFolders(target.parent_path())) return false;
  const std::string temporary = path + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = WriteAll(fd, content) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return SyncFolder(target.parent_path());
}

bool DurableFile::Read(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  content = bytes.str();
  return !file.bad();
}

bool DurableFile::Remove(const std::string& path) {
  if (unlink(path.c_str()) != 0) return errno == ENOENT;
  return SyncFolder(fs::path(path).parent_path());
}
