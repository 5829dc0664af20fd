#include "ControlFifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ControlFifo::~ControlFifo() {
  if (reader_ >= 0) close(reader_);
  if (keepOpen_ >= 0) close(keepOpen_);
  if (!path_.empty()) unlink(path_.c_str());
}

bool ControlFifo::Open(const std::string& path, std::string& error) {
  struct stat existing {};
  if (lstat(path.c_str(), &existing) == 0 && S_ISFIFO(existing.st_mode)) unlink(path.c_str());
  if (mkfifo(path.c_str(), 0600) != 0) {
    error = "cannot create the control FIFO " + path + ": " + std::strerror(errno);
    return false;
  }
  path_ = path;
  reader_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  keepOpen_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader_ < 0 || keepOpen_ < 0) {
    error = "cannot open the control FIFO " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void ControlFifo::Drain(const std::function<void(const std::string&)>& onLine) {
  char buffer[512];
  ssize_t count = 0;
  while ((count = read(reader_, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < count; ++i) {
      if (buffer[i] == '\r') continue;
      if (buffer[i] == '\n') {
        onLine(partial_);
        partial_.clear();
      } else if (partial_.size() < kLongestLine) {
        partial_ += buffer[i];
      }
    }
  }
}
