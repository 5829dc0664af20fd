#pragma once

#include <string>

// Small files that must survive a power cut: a write either leaves the old
// content or the whole new one, and is on the disk when Write returns.
class DurableFile {
 public:
  // Writes content to a temporary file beside path, flushes it to the disk,
  // renames it over path and flushes the folder. Missing folders are created,
  // each flushed into its parent. On failure why, when given, receives the
  // system's words for it ("No space left on device").
  static bool Write(const std::string& path, const std::string& content, std::string* why = nullptr);
  // The whole file as the disk holds it; false when it cannot be read.
  static bool Read(const std::string& path, std::string& content);
  // Removes the file and flushes its folder; true also when it was not there.
  static bool Remove(const std::string& path);
};
