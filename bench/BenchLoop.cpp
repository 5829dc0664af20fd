#include "BenchLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

BenchLoop::BenchLoop(const BenchOptions& options)
    : options_(options),
      bench_(
          options, [this](const uint8_t* bytes, size_t count) { pty_.Write(bytes, count); }, Say),
      start_(std::chrono::steady_clock::now()) {}

BenchLoop::~BenchLoop() {
  for (int fd : wake_) {
    if (fd >= 0) close(fd);
  }
}

bool BenchLoop::Open(std::string& error) {
  if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  if (!options_.tracePath.empty() && !bench_.StartTrace(options_.tracePath, error)) return false;
  if (!options_.controlPath.empty() && !control_.Open(options_.controlPath, error)) return false;
  return pty_.Open(options_.link, error);
}

int BenchLoop::Run() {
  while (!stopping_) {
    const uint64_t now = ElapsedUs();
    bench_.scheduler().AdvanceTo(now);
    if (options_.timeLimitS != 0 && now >= uint64_t{options_.timeLimitS} * 1000000) break;
    const short ptyEvents = static_cast<short>(POLLIN | (pty_.HasPending() ? POLLOUT : 0));
    pollfd fds[3] = {{wake_[0], POLLIN, 0}, {pty_.fd(), ptyEvents, 0}, {control_.fd(), POLLIN, 0}};
    if (poll(fds, 3, PollTimeoutMs(now)) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "canbench: poll failed: %s\n", std::strerror(errno));
      return 1;
    }
    if (fds[0].revents & POLLIN) break;
    if (fds[1].revents & POLLOUT) pty_.Flush();
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) ReadHost();
    if (fds[2].revents & POLLIN) {
      control_.Drain([this](const std::string& line) { OnControlLine(line); });
    }
  }
  return 0;
}

void BenchLoop::RequestStop() {
  const char byte = 'q';
  if (wake_[1] >= 0 && write(wake_[1], &byte, 1) < 0) {
    // The pipe is full: a stop is already on its way.
  }
}

uint64_t BenchLoop::ElapsedUs() const {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

int BenchLoop::PollTimeoutMs(uint64_t now) const {
  uint64_t until = UINT64_MAX;
  if (const auto due = bench_.scheduler().NextDue()) until = *due;
  if (options_.timeLimitS != 0) until = std::min(until, uint64_t{options_.timeLimitS} * 1000000);
  if (until == UINT64_MAX) return -1;
  const uint64_t waitMs = until > now ? (until - now + 999) / 1000 : 0;
  return static_cast<int>(std::min<uint64_t>(waitMs, 60000));
}

void BenchLoop::ReadHost() {
  uint8_t bytes[1024];
  long count = 0;
  while ((count = pty_.Read(bytes, sizeof bytes)) > 0) bench_.FromHost(bytes, static_cast<size_t>(count));
  if (count == 0) return;
  // The host closed the line; the next one it opens is a fresh pty.
  std::string error;
  if (!pty_.Renew(error)) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    stopping_ = true;
    return;
  }
  Say("host closed the line; " + options_.link + " now leads to " + pty_.slavePath());
}

void BenchLoop::OnControlLine(const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  if (line == "quit") {
    stopping_ = true;
    return;
  }
  if (line == "unplug" || line == "replug") return SetPlugged(line == "replug");
  std::string error;
  if (bench_.Control(line, error)) {
    Say("done: " + line);
  } else {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
  }
}

// The gateway's adapter pulled out: it loses power and the console's line
// hangs up. Plugged in again, it is a new device behind the same link.
void BenchLoop::SetPlugged(bool plugged) {
  std::string error;
  if (plugged == pty_.Plugged()) {
    error = std::string("the gateway is ") + (plugged ? "plugged in" : "unplugged") + " already";
  } else if (plugged) {
    pty_.Replug(error);
  } else {
    pty_.Unplug();
    bench_.RestartGateway();
  }
  if (!error.empty()) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    return;
  }
  Say(plugged ? "done: replug; " + options_.link + " now leads to " + pty_.slavePath() : "done: unplug");
}
