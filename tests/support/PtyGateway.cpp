#include "PtyGateway.h"

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

PtyGateway::PtyGateway(const std::string& dosDevicesRoot) {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
  const std::string link = dosDevicesRoot + "/com1";
  unlink(link.c_str());
  if (symlink(name, link.c_str()) != 0) Close();
}

PtyGateway::~PtyGateway() { Close(); }

void PtyGateway::Send(const std::vector<uint8_t>& bytes) const {
  size_t sent = 0;
  while (master_ >= 0 && sent < bytes.size()) {
    ssize_t step = write(master_, bytes.data() + sent, bytes.size() - sent);
    if (step <= 0) return;
    sent += static_cast<size_t>(step);
  }
}

std::vector<uint8_t> PtyGateway::ReadFrame(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto start = std::find(pending_.begin(), pending_.end(), 0x7E);
    auto end = std::find(start, pending_.end(), 0x7F);
    if (end != pending_.end()) {
      std::vector<uint8_t> frame(start, end + 1);
      pending_.erase(pending_.begin(), end + 1);
      return frame;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waiting{master_, POLLIN, 0};
    if (master_ < 0 || left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) break;
    uint8_t chunk[512];
    ssize_t count = read(master_, chunk, sizeof chunk);
    if (count <= 0) break;
    pending_.insert(pending_.end(), chunk, chunk + count);
  }
  std::vector<uint8_t> partial;
  partial.swap(pending_);
  return partial;
}

void PtyGateway::Close() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}
