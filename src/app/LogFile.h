#pragma once

#include <ctime>
#include <fstream>
#include <mutex>
#include <string>

// The log on the removable drive: one line per call, CRLF line ends, flushed
// at once so the file is complete up to the last line if the console loses
// power. Lines come from the main, programming and link receive threads; a
// lock keeps each line whole. While the stream is closed or failed (no drive,
// no folder, closed at Exit) every line is dropped without a word.
class LogFile {
 public:
  // Creates or truncates the file; an open stream or a file that cannot be
  // created leaves the log failed for good.
  void Open(const std::string& hostPath);
  void Write(const char* text);
  void Close();
  bool IsOpen();

  // "Date: d/m/yyyy, Time: h:m:s - Ver: v", fields without leading zeros.
  static std::string HeaderLine(const std::tm& local, const char* version);

 private:
  std::mutex mutex_;
  std::ofstream stream_;
  bool failed_ = false;
};
