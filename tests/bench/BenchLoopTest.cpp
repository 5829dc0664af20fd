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

const std::vector<uint8_t> kAckOnChannel1 = {0x7E, 0x01, 0x01, 0x00, 0x7F};

template <typename Condition>
bool WaitFor(Condition condition) {
  for (auto waited = 0ms; waited < 3000ms; waited += 10ms) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// canbench's loop on a thread of its own, as an end-to-end test may run it.
class RunningBench {
 public:
  explicit RunningBench(const BenchOptions& options) : loop_(options) {
    std::string error;
    opened_ = loop_.Open(error);
    EXPECT_TRUE(opened_) << error;
    if (opened_) thread_ = std::thread([this] {
      status_ = loop_.Run();
      finished_ = true;
    });
  }
  ~RunningBench() { Stop(); }
  int Stop() {
    if (thread_.joinable()) {
      loop_.RequestStop();
      thread_.join();
    }
    return status_;
  }
  // True once the loop ended by itself (within a few seconds).
  bool Ended() const;

 private:
  BenchLoop loop_;
  bool opened_ = false;
  std::thread thread_;
  int status_ = -1;
  std::atomic<bool> finished_{false};
};

// Opens the link as the console does and asks for a channel; the reply, or
// nothing within the time.
std::vector<uint8_t> OpenChannelThrough(const std::string& link, int& fd) {
  fd = open(link.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return {};
  uint8_t request[frame::kRingEntry];
  if (write(fd, request, frame::BuildOpenChannel(1, request)) < 0) return {};
  std::vector<uint8_t> reply;
  pollfd readable{fd, POLLIN, 0};
  while (reply.size() < kAckOnChannel1.size() && poll(&readable, 1, 2000) == 1) {
    uint8_t bytes[64];
    const ssize_t count = read(fd, bytes, sizeof bytes);
    if (count <= 0) break;
    reply.insert(reply.end(), bytes, bytes + count);
  }
  return reply;
}

bool RunningBench::Ended() const {
  return WaitFor([this] { return finished_.load(); });
}

TEST(BenchLoop, ServesTheLineAndAFreshOneAfterTheHostClosedIt) {
  BenchOptions options;
  options.link = FreshDir("loop-line") + "/com1";
  {
    RunningBench bench(options);
    int fd = -1;
    EXPECT_EQ(OpenChannelThrough(options.link, fd), kAckOnChannel1);
    const std::string first = std::filesystem::read_symlink(options.link);
    close(fd);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::read_symlink(options.link) != first; }));
    EXPECT_EQ(OpenChannelThrough(options.link, fd), kAckOnChannel1);
    close(fd);
    EXPECT_EQ(bench.Stop(), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.link)));
}

TEST(BenchLoop, ReplacesAStaleLink) {
  BenchOptions options;
  options.link = FreshDir("loop-stale") + "/com1";
  std::filesystem::create_symlink("/dev/pts/nonexistent", options.link);
  RunningBench bench(options);
  int fd = -1;
  EXPECT_EQ(OpenChannelThrough(options.link, fd), kAckOnChannel1);
  close(fd);
}

TEST(BenchLoop, ControlFifoDumpsAndQuits) {
  const std::string dir = FreshDir("loop-control");
  BenchOptions options = NodeOptions("address=0x0A,program=149,boot=atmel", dir);
  options.link = dir + "/com1";
  options.controlPath = dir + "/control";
  RunningBench bench(options);
  std::ofstream(options.controlPath) << "bogus\r\ndump\r\n" << std::flush;
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(dir + "/node-0A.bin"); }));
  std::ofstream(options.controlPath) << "quit\n" << std::flush;
  EXPECT_TRUE(bench.Ended());
  EXPECT_EQ(bench.Stop(), 0);
}

TEST(BenchLoop, EndsAtItsTimeLimit) {
  BenchOptions options;
  options.link = FreshDir("loop-limit") + "/com1";
  options.timeLimitS = 1;
  RunningBench bench(options);
  EXPECT_TRUE(bench.Ended());
}

TEST(BenchLoop, RefusesALinkItCannotMake) {
  BenchOptions options;
  options.link = "/proc/canbench/com1";
  BenchLoop loop(options);
  std::string error;
  EXPECT_FALSE(loop.Open(error));
  EXPECT_NE(error.find("cannot link /proc/canbench/com1"), std::string::npos) << error;
}

}  // namespace
