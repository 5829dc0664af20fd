#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "St10Session.h"
#include "bench/BenchLoop.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const HostLine::Bytes kAckOnChannel1 = {0x7E, 0x01, 0x01, 0x00, 0x7F};

template <typename Condition>
bool WaitFor(Condition condition) {
  for (auto waited = 0ms; waited < 3000ms; waited += 10ms) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// canbench's loop on a thread of its own, as an end-to-end test may run it.
struct RunningBench {
  explicit RunningBench(const BenchOptions& options) : loop(options) {
    std::string error;
    EXPECT_TRUE(loop.Open(error)) << error;
    thread = std::thread([this] {
      status = loop.Run();
      finished = true;
    });
  }
  ~RunningBench() { Stop(); }
  int Stop() {
    if (thread.joinable()) {
      loop.RequestStop();
      thread.join();
    }
    return status;
  }

  BenchLoop loop;
  std::thread thread;
  int status = -1;
  std::atomic<bool> finished{false};
};

// Opens the link as the console does, asks for channel 1 and closes it again;
// the reply, or nothing within the time.
HostLine::Bytes OpenChannelThrough(const std::string& link) {
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return {};
  uint8_t bytes[frame::kRingEntry];
  HostLine::Bytes reply;
  pollfd readable{fd, POLLIN, 0};
  if (write(fd, bytes, frame::BuildOpenChannel(1, bytes)) > 0) {
    while (reply.size() < kAckOnChannel1.size() && poll(&readable, 1, 2000) == 1) {
      const ssize_t count = read(fd, bytes, sizeof bytes);
      if (count <= 0) break;
      reply.insert(reply.end(), bytes, bytes + count);
    }
  }
  close(fd);
  return reply;
}

BenchOptions LinkIn(const std::string& dir) {
  BenchOptions options;
  options.link = dir + "/com1";
  return options;
}

TEST(BenchLoop, ServesTheLineAndAFreshOneAfterTheHostClosedIt) {
  const BenchOptions options = LinkIn(FreshDir("loop-line"));
  {
    RunningBench bench(options);
    const fs::path first = fs::read_symlink(options.link);
    EXPECT_EQ(OpenChannelThrough(options.link), kAckOnChannel1);
    ASSERT_TRUE(WaitFor([&] { return fs::read_symlink(options.link) != first; }));
    EXPECT_EQ(OpenChannelThrough(options.link), kAckOnChannel1);
    EXPECT_EQ(bench.Stop(), 0);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(options.link)));
}

TEST(BenchLoop, ReplacesAStaleLink) {
  const BenchOptions options = LinkIn(FreshDir("loop-stale"));
  fs::create_symlink("/dev/pts/nonexistent", options.link);
  RunningBench bench(options);
  EXPECT_EQ(OpenChannelThrough(options.link), kAckOnChannel1);
}

TEST(BenchLoop, ControlFifoDumpsAndQuits) {
  const std::string dir = FreshDir("loop-control");
  BenchOptions options = NodeOptions("address=0x0A,program=149,boot=atmel", dir);
  options.link = dir + "/com1";
  options.controlPath = dir + "/control";
  RunningBench bench(options);
  std::ofstream(options.controlPath) << "bogus\r\ndump\r\n" << std::flush;
  EXPECT_TRUE(WaitFor([&] { return fs::exists(dir + "/node-0A.bin"); }));
  std::ofstream(options.controlPath) << "quit\n" << std::flush;
  EXPECT_TRUE(WaitFor([&] { return bench.finished.load(); }));
  EXPECT_EQ(bench.Stop(), 0);
}

TEST(BenchLoop, EndsAtItsTimeLimit) {
  BenchOptions options = LinkIn(FreshDir("loop-limit"));
  options.timeLimitS = 1;
  RunningBench bench(options);
  EXPECT_TRUE(WaitFor([&] { return bench.finished.load(); }));
}

TEST(BenchLoop, RefusesALinkItCannotMake) {
  BenchLoop loop(LinkIn("/proc/canbench"));
  std::string error;
  EXPECT_FALSE(loop.Open(error));
  EXPECT_NE(error.find("cannot link /proc/canbench/com1"), std::string::npos) << error;
}

}  // namespace
