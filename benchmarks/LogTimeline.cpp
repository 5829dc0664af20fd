#include "LogTimeline.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

uint64_t NowMicros() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

}  // namespace

LogTimeline::LogTimeline(std::string path) : path_(std::move(path)) {
  inotify_ = inotify_init1(IN_CLOEXEC);
  // The folder is watched, not the file, which the program may create only
  // later (the rig sets the log of an earlier start aside).
  const std::string folder = path_.substr(0, path_.find_last_of('/') + 1);
  if (inotify_ >= 0) inotify_add_watch(inotify_, folder.empty() ? "." : folder.c_str(), IN_MODIFY | IN_CREATE);
  if (pipe(stopPipe_) != 0) stopPipe_[0] = stopPipe_[1] = -1;
  ReadNew();  // what is there already
  thread_ = std::thread([this] { Follow(); });
}

LogTimeline::~LogTimeline() {
  if (stopPipe_[1] >= 0 && write(stopPipe_[1], "x", 1) < 0) {
    // The follower then ends at its next event; nothing else to do.
  }
  thread_.join();
  for (int fd : {inotify_, stopPipe_[0], stopPipe_[1]})
    if (fd >= 0) close(fd);
}

std::vector<LogTimeline::Line> LogTimeline::Lines() {
  ReadNew();
  std::lock_guard lock(mutex_);
  return lines_;
}

bool LogTimeline::Save(const std::string& path) {
  std::ofstream out(path);
  for (const Line& line : Lines()) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%llu.%06llu\t", static_cast<unsigned long long>(line.unixMicros / 1000000),
                  static_cast<unsigned long long>(line.unixMicros % 1000000));
    out << stamp << line.text << '\n';
  }
  return static_cast<bool>(out);
}

void LogTimeline::Follow() {
  alignas(inotify_event) char events[4096];
  while (true) {
    pollfd watched[2] = {{inotify_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) continue;
    if (watched[1].revents) return;
    if (read(inotify_, events, sizeof events) <= 0) return;
    ReadNew();
  }
}

// Reads what was appended since the last look; complete lines are stamped now.
void LogTimeline::ReadNew() {
  std::lock_guard lock(mutex_);
  std::ifstream file(path_, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(offset_));
  std::string added((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (added.empty()) return;
  const uint64_t now = NowMicros();
  offset_ += added.size();
  partial_ += added;
  size_t start = 0;
  for (size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
    size_t length = end - start;
    if (length > 0 && partial_[end - 1] == '\r') --length;
    lines_.push_back({now, partial_.substr(start, length)});
  }
  partial_.erase(0, start);
}
