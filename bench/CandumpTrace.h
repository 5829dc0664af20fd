#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "link/CanMessage.h"

// Every frame on the virtual bus in candump's log format, one per line:
// "(1733400000.123456) can0 18EF0110#BF". can0 carries what the console
// sent, can1 what the nodes answered.
class CandumpTrace {
 public:
  static constexpr const char* kFromHost = "can0";
  static constexpr const char* kFromNodes = "can1";

  CandumpTrace() = default;
  ~CandumpTrace();
  CandumpTrace(const CandumpTrace&) = delete;
  CandumpTrace& operator=(const CandumpTrace&) = delete;

  bool Open(const std::string& path, std::string& error);
  // Writes the frame with the wall-clock time; nothing when not open.
  void Record(const char* interface, const CanMessage& message);
  // Hands what was recorded to the file, so that others can read it.
  void Flush();
  // Extended identifiers as 8 hex digits, standard ones as 3.
  static std::string Format(const char* interface, const CanMessage& message, uint64_t unixMicros);

 private:
  std::FILE* file_ = nullptr;
};
