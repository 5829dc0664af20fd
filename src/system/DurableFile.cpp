#include "system/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t written = write(fd, content.data() + done, content.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = EIO;  // a drive that takes nothing and says nothing
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
  fs::create_directory(folder, error);
  if (error) {
    errno = error.value();
    return false;
  }
  return SyncFolder(folder.parent_path());
}

// The system's words for error (the errno value of the step that failed).
bool Failed(int error, std::string* why) {
  if (why) *why = std::system_category().message(error != 0 ? error : EIO);
  return false;
}

}  // namespace

bool DurableFile::Write(const std::string& path, const std::string& content, std::string* why) {
  const fs::path target(path);
  if (!MakeFolders(target.parent_path())) return Failed(errno, why);
  const std::string temporary = path + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Failed(errno, why);
  // The first failure is the one to tell: cleaning up may change errno.
  int failure = WriteAll(fd, content) && fsync(fd) == 0 ? 0 : errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
  if (failure != 0) {
    unlink(temporary.c_str());
    return Failed(failure, why);
  }
  return SyncFolder(target.parent_path()) || Failed(errno, why);
}

// Synced pages are clean, so dropping them from the cache makes the read come
// from the drive itself: a drive that lost or misplaced the bytes shows it.
bool DurableFile::Read(const std::string& path, std::string& content) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  content.clear();
  char buffer[16384];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return got == 0;
}

bool DurableFile::Remove(const std::string& path) {
  if (unlink(path.c_str()) != 0) return errno == ENOENT;
  return SyncFolder(fs::path(path).parent_path());
}
