#include "app/LogFile.h"

#include <cstdio>

void LogFile::Open(const std::string& hostPath) {
  std::lock_guard lock(mutex_);
  if (stream_.is_open() || failed_) {
    failed_ = true;
    return;
  }
  stream_.open(hostPath, std::ios::out | std::ios::trunc | std::ios::binary);
  failed_ = !stream_.is_open();
}

void LogFile::Write(const char* text) {
  std::lock_guard lock(mutex_);
  if (failed_ || !stream_.is_open()) return;
  stream_ << (text ? text : "") << "\r\n";
  stream_.flush();
  failed_ = !stream_.good();
}

void LogFile::Close() {
  std::lock_guard lock(mutex_);
  if (!stream_.is_open()) return;
  stream_.close();
  if (stream_.fail()) failed_ = true;
}

bool LogFile::IsOpen() {
  std::lock_guard lock(mutex_);
  return stream_.is_open() && !failed_;
}

std::string LogFile::HeaderLine(const std::tm& local, const char* version) {
  char line[128];
  std::snprintf(line, sizeof line, "Date: %d/%d/%d, Time: %d:%d:%d - Ver: %s", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, version);
  return line;
}
