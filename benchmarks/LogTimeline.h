#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Follows a text file that another program appends to line by line and
// stamps each line with the wall-clock time at which it appeared, in
// microseconds since the epoch (the clock of the candump trace). Woken by
// inotify on every write in the file's folder, so a line is stamped within
// microseconds of its flush without polling; the file need not be there yet.
class LogTimeline {
 public:
  struct Line {
    uint64_t unixMicros;
    std::string text;
  };

  explicit LogTimeline(std::string path);
  ~LogTimeline();
  LogTimeline(const LogTimeline&) = delete;
  LogTimeline& operator=(const LogTimeline&) = delete;

  std::vector<Line> Lines();
  // One line per log line: seconds.micros, a tab, the text.
  bool Save(const std::string& path);

 private:
  void Follow();
  void ReadNew();

  std::string path_;
  int inotify_ = -1;
  int stopPipe_[2] = {-1, -1};
  size_t offset_ = 0;
  std::string partial_;
  std::mutex mutex_;
  std::vector<Line> lines_;
  std::thread thread_;
};
