// Throughput of CanDispatch against a gateway that acknowledges at once, and
// the queue-to-reply round trip over a real pseudo-terminal.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/CanDispatch.h"
#include "link/FrameCodec.h"
#include "system/SerialPort.h"

namespace {

// Answers every Data packet with an Ack on its channel (OpenChannel: on the
// opened channel) as soon as it is written.
class InstantGatewayPort final : public SerialPort {
 public:
  bool Open(const char*, uint32_t) override { return true; }

  int Read(uint8_t* buffer, size_t capacity) override {
    std::unique_lock lock(mutex_);
    if (pending_.empty()) changed_.wait_for(lock, std::chrono::milliseconds(1));
    const size_t count = std::min(capacity, pending_.size());
    std::copy_n(pending_.begin(), count, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(count));
    return static_cast<int>(count);
  }

  bool Write(const uint8_t* bytes, size_t count) override {
    uint8_t packet[frame::kRingEntry];
    const size_t length = frame::Decode(bytes, count, packet);
    if (length < 5 || packet[frame::kKindAt] != frame::kData) return true;
    const bool open = packet[frame::kIdAt] == frame::kOpenChannel;
    uint8_t ack[frame::kRingEntry];
    const size_t ackLength = frame::BuildAck(open ? packet[frame::kPayloadAt] : packet[frame::kChannelAt], ack);
    {
      std::lock_guard lock(mutex_);
      pending_.insert(pending_.end(), ack, ack + ackLength);
      if (!open) ++frames_;
    }
    changed_.notify_all();
    return true;
  }

  void Close() override {}
  void Wake() override { changed_.notify_all(); }
  std::string ErrorText() const override { return ""; }  // it never fails

  void WaitForFrames(uint64_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return frames_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<uint8_t> pending_;
  uint64_t frames_ = 0;
};

CanMessage Query() {
  CanMessage message;
  message.identifier = 0x18EF0110;
  message.length = 8;
  for (uint8_t i = 0; i < 8; ++i) message.data[i] = static_cast<uint8_t>(0x11 * i);
  return message;
}

void FramesThroughInstantGateway(benchmark::State& state) {
  auto owned = std::make_unique<InstantGatewayPort>();
  InstantGatewayPort* port = owned.get();
  CanDispatch link(std::move(owned));
  link.Open("COM1", 1500000);
  const uint8_t channel = link.CreateChannel(0, nullptr);
  while (!link.Acknowledged(channel)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  uint64_t queued = 0;
  for (auto _ : state) {
    CanMessage message = Query();
    if (link.QueueCanFrame(channel, message, message.data)) ++queued;
  }
  port->WaitForFrames(queued);
  state.SetItemsProcessed(static_cast<int64_t>(queued));
}
BENCHMARK(FramesThroughInstantGateway)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// The gateway on the master side of a pty: acknowledges every Data packet and
// echoes each CAN frame back to the host, padded with 0xFF as the bus gives it.
class EchoGateway {
 public:
  explicit EchoGateway(int master) : master_(master), thread_([this] { Run(); }) {}
  ~EchoGateway() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    std::vector<uint8_t> collected;
    uint8_t chunk[1024];
    while (!stop_) {
      pollfd waiting{master_, POLLIN, 0};
      if (poll(&waiting, 1, 10) <= 0) continue;
      const ssize_t count = read(master_, chunk, sizeof chunk);
      if (count <= 0) return;
      for (ssize_t i = 0; i < count; ++i) {
        if (chunk[i] == frame::kStart) collected.clear();
        collected.push_back(chunk[i]);
        if (chunk[i] == frame::kEnd) Answer(collected);
      }
    }
  }

  void Answer(const std::vector<uint8_t>& line) {
    uint8_t packet[frame::kRingEntry];
    const size_t length = frame::Decode(line.data(), line.size(), packet);
    if (length < 5 || packet[frame::kKindAt] != frame::kData) return;
    uint8_t out[2 * frame::kRingEntry];
    if (packet[frame::kIdAt] == frame::kOpenChannel) {
      Send(out, frame::BuildAck(packet[frame::kPayloadAt], out));
      return;
    }
    Send(out, frame::BuildAck(packet[frame::kChannelAt], out));
    uint8_t echo[17] = {};
    std::copy_n(packet, 8, echo);
    std::fill_n(echo + 8, 8, 0xFF);
    std::copy_n(packet + 8, std::min<size_t>(length - 9, 8), echo + 8);
    echo[16] = frame::Checksum(echo, 16);
    Send(out, frame::Encode(echo, sizeof echo, out));
  }

  void Send(const uint8_t* bytes, size_t count) {
    if (write(master_, bytes, count) != static_cast<ssize_t>(count)) stop_ = true;
  }

  int master_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::atomic<uint32_t> echoes{0};
void OnEcho(int) {
  echoes.fetch_add(1);
  echoes.notify_all();
}

// A dosdevices folder whose com1 is the slave of a fresh pty.
class PtyDevices {
 public:
  PtyDevices() {
    std::string pattern = (std::filesystem::temp_directory_path() / "linkbench-XXXXXX").string();
    root_ = mkdtemp(pattern.data()) ? pattern : std::string();
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0)
      ok_ = symlink(name, (root_ + "/com1").c_str()) == 0 && setenv("LUMEN_DOSDEVICES", root_.c_str(), 1) == 0;
  }
  ~PtyDevices() {
    close(master_);
    close(slave_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  bool Ok() const { return ok_; }
  int Master() const { return master_; }

 private:
  std::string root_;
  int master_ = -1;
  int slave_ = -1;
  bool ok_ = false;
};

void QueueToReplyOverPty(benchmark::State& state) {
  PtyDevices devices;
  if (!devices.Ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  EchoGateway gateway(devices.Master());
  {
    CanDispatch link;
    link.Open("COM1", 1500000);
    const uint8_t channel = link.CreateChannel(0, OnEcho);
    while (!link.Acknowledged(channel)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::vector<double> seconds;
    seconds.reserve(100000);
    for (auto _ : state) {
      const uint32_t before = echoes.load();
      const auto start = std::chrono::steady_clock::now();
      CanMessage message = Query();
      link.QueueCanFrame(channel, message, message.data);
      for (uint32_t now = echoes.load(); now == before; now = echoes.load()) echoes.wait(now);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      seconds.push_back(took.count());
      state.SetIterationTime(took.count());
    }
    if (!seconds.empty()) {
      std::sort(seconds.begin(), seconds.end());
      state.counters["median_us"] = seconds[seconds.size() / 2] * 1e6;
      state.counters["p99_us"] = seconds[seconds.size() * 99 / 100] * 1e6;
    }
    link.Shutdown();
  }
}
BENCHMARK(QueueToReplyOverPty)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
