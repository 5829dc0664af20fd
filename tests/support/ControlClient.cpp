#include "ControlClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "PngReader.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(2);

bool Expired(Clock::time_point start, int timeoutMs) {
  return Clock::now() - start > std::chrono::milliseconds(timeoutMs);
}

}  // namespace

bool ControlClient::Send(const std::string& line, int timeoutMs) const {
  std::string text = line + "\n";
  auto start = Clock::now();
  for (;;) {
    // Non-blocking: a FIFO nobody reads yet fails with ENXIO instead of hanging.
    int fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      ssize_t written = write(fd, text.data(), text.size());
      close(fd);
      if (written == static_cast<ssize_t>(text.size())) return true;
    }
    if (Expired(start, timeoutMs)) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

bool ControlClient::Touch(int x, int y) const { return Send("touch " + std::to_string(x) + " " + std::to_string(y)); }

std::optional<Surface> ControlClient::Screenshot(const std::string& pngPath, int timeoutMs) const {
  std::error_code ignored;
  std::filesystem::remove(pngPath, ignored);
  auto start = Clock::now();
  if (!Send("screenshot " + pngPath, timeoutMs)) return std::nullopt;
  while (!std::filesystem::exists(pngPath)) {
    if (Expired(start, timeoutMs)) return std::nullopt;
    std::this_thread::sleep_for(kPoll);
  }
  return PngReader::Read(pngPath);
}
