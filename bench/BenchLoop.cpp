#include "BenchLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "link/FrameCodec.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

BenchLoop::BenchLoop(const BenchOptions& options)
    : options_(options),
      bench_(
          options, [this](const uint8_t* bytes, size_t count) { ToHost(bytes, count); }, Say),
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
  // The kernel's default slack would let each timer fire up to 50 us late.
  prctl(PR_SET_TIMERSLACK, 1UL);
  while (!stopping_) {
    CatchUp();
    const uint64_t now = ElapsedUs();
    if (options_.timeLimitS != 0 && now >= uint64_t{options_.timeLimitS} * 1000000) break;
    const short ptyEvents = static_cast<short>(POLLIN | (pty_.HasPending() ? POLLOUT : 0));
    pollfd fds[3] = {{wake_[0], POLLIN, 0}, {pty_.fd(), ptyEvents, 0}, {control_.fd(), POLLIN, 0}};
    // The trace is written out before each sleep rather than with each frame:
    // readable while the bench runs, but not in the way of the frames.
    bench_.FlushTrace();
    if (Poll(fds, 3, now) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "canbench: poll failed: %s\n", std::strerror(errno));
      return 1;
    }
    if (fds[0].revents & POLLIN) break;
    // What arrived starts from now, not from when the loop went to sleep.
    CatchUp();
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

// Sleeps until a descriptor is ready, the next timer is due or the time is up.
// The last stretch before a timer is polled without sleeping: waking from a
// sleep takes tens of microseconds, as long as a short frame on the wire.
int BenchLoop::Poll(pollfd* fds, nfds_t count, uint64_t now) const {
  uint64_t until = UINT64_MAX;
  if (const auto due = bench_.scheduler().NextDue()) until = *due;
  if (options_.timeLimitS != 0) until = std::min(until, uint64_t{options_.timeLimitS} * 1000000);
  if (until == UINT64_MAX) return ppoll(fds, count, nullptr, nullptr);
  if (until > now + kSpinUs) {
    const uint64_t waitUs = until - now - kSpinUs;
    const timespec timeout{static_cast<time_t>(waitUs / 1000000), static_cast<long>(waitUs % 1000000 * 1000)};
    if (const int ready = ppoll(fds, count, &timeout, nullptr); ready != 0) return ready;
  }
  const timespec atOnce{0, 0};
  for (;;) {
    const int ready = ppoll(fds, count, &atOnce, nullptr);
    if (ready != 0 || ElapsedUs() >= until) return ready;
  }
}

void BenchLoop::ReadHost() {
  uint8_t bytes[1024];
  long count = 0;
  while ((count = pty_.Read(bytes, sizeof bytes)) > 0) FromHost(bytes, static_cast<size_t>(count));
  if (count == 0) return;
  // The host closed the line; the next one it opens is a fresh pty.
  std::string error;
  ++lineEpoch_;
  if (!pty_.Renew(error)) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    stopping_ = true;
    return;
  }
  Say("host closed the line; " + options_.link + " now leads to " + pty_.slavePath());
}

// Each frame reaches the gateway once its last byte has crossed the line.
void BenchLoop::FromHost(const uint8_t* bytes, size_t count) {
  if (options_.lineBaud == 0) return bench_.FromHost(bytes, count);
  for (const uint8_t* const end = bytes + count; bytes < end;) {
    const uint8_t* const marker = std::find(bytes, end, frame::kEnd);
    const uint8_t* const pieceEnd = marker == end ? end : marker + 1;
    std::vector<uint8_t> piece(bytes, pieceEnd);
    const uint64_t delay = LineDelayUs(toBenchFreeAt_, piece.size());
    bench_.scheduler().After(delay, [this, piece = std::move(piece)] { bench_.FromHost(piece.data(), piece.size()); });
    bytes = pieceEnd;
  }
}

// The gateway writes to the line as fast as it carries bytes and holds the
// rest in its buffer; a frame that finds the buffer full is lost.
void BenchLoop::ToHost(const uint8_t* bytes, size_t count) {
  if (options_.lineBaud == 0) return pty_.Write(bytes, count);
  if (BytesWaitingForHost() + count > kGatewayBufferBytes) {
    std::fprintf(stderr, "canbench: the gateway's buffer is full; %zu bytes for the console lost\n", count);
    return;
  }
  const uint64_t delay = LineDelayUs(toHostFreeAt_, count);
  bench_.scheduler().After(delay, [this, epoch = lineEpoch_, piece = std::vector<uint8_t>(bytes, bytes + count)] {
    if (epoch == lineEpoch_) pty_.Write(piece.data(), piece.size());
  });
}

uint64_t BenchLoop::BytesWaitingForHost() const {
  const uint64_t now = bench_.scheduler().Now();
  return toHostFreeAt_ > now ? (toHostFreeAt_ - now) * options_.lineBaud / 10 / 1000000 : 0;
}

// The bytes queue behind those already on the line, 10 bits each (8N1).
uint64_t BenchLoop::LineDelayUs(uint64_t& freeAt, size_t count) {
  const uint64_t now = bench_.scheduler().Now();
  freeAt = std::max(freeAt, now) + (uint64_t{count} * 10 * 1000000 + options_.lineBaud - 1) / options_.lineBaud;
  return freeAt - now;
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
    ++lineEpoch_;  // what was on its way to the old pty is lost with it
    bench_.RestartGateway();
  }
  if (!error.empty()) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    return;
  }
  Say(plugged ? "done: replug; " + options_.link + " now leads to " + pty_.slavePath() : "done: unplug");
}
