#include "CandumpTrace.h"

#include <cerrno>
#include <chrono>
#include <cstring>

CandumpTrace::~CandumpTrace() {
  if (file_) std::fclose(file_);
}

bool CandumpTrace::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) error = "cannot write the trace '" + path + "': " + std::strerror(errno);
  return file_ != nullptr;
}

void CandumpTrace::Record(const char* interface, const CanMessage& message) {
  if (!file_) return;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  const std::string line = Format(interface, message, static_cast<uint64_t>(micros));
  std::fputs(line.c_str(), file_);
}

void CandumpTrace::Flush() {
  if (file_) std::fflush(file_);
}

std::string CandumpTrace::Format(const char* interface, const CanMessage& message, uint64_t unixMicros) {
  const bool extended = message.flags & CanMessage::kExtendedFlag;
  char text[80];
  int used = std::snprintf(text, sizeof text, "(%llu.%06llu) %s %0*X#",
                           static_cast<unsigned long long>(unixMicros / 1000000),
                           static_cast<unsigned long long>(unixMicros % 1000000), interface, extended ? 8 : 3,
                           static_cast<unsigned>(message.identifier));
  for (uint8_t i = 0; i < message.length && i < 8; ++i) {
    used += std::snprintf(text + used, sizeof text - used, "%02X", message.data[i]);
  }
  return std::string(text, static_cast<size_t>(used)) + "\n";
}
