#include "system/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <chrono>

#include "system/DosPath.h"

namespace {

constexpr int64_t kWritePerByteMs = 10;
constexpr int64_t kWriteConstantMs = 2000;

struct BaudRate {
  uint32_t rate;
  speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
    {230400, B230400}, {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
};

// A rate the host does not know keeps the tty's current speed.
void SetSpeed(termios& settings, uint32_t baud) {
  for (const BaudRate& entry : kBaudRates) {
    if (entry.rate != baud) continue;
    cfsetispeed(&settings, entry.speed);
    cfsetospeed(&settings, entry.speed);
    return;
  }
}

bool TryAgain() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

PosixSerialPort::PosixSerialPort() : wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PosixSerialPort::~PosixSerialPort() {
  Close();
  if (wake_ >= 0) ::close(wake_);
}

bool PosixSerialPort::Open(const char* name, uint32_t baud) {
  Close();
  const int fd = ::open(MapDosPath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailed(std::strerror(errno));
  ioctl(fd, TIOCEXCL);  // no sharing; refused only by what is not a tty, which Configure finds
  fd_ = fd;
  return Configure(fd, baud) || OpenFailed(std::strerror(errno));
}

bool PosixSerialPort::OpenFailed(const char* why) {
  error_ = why;
  return false;
}

int PosixSerialPort::ReadFailed(const char* why) {
  error_ = why;
  return -1;
}

// Raw 8N1 without flow control. Failing to read the settings means this is no
// serial line, and nothing worth reading. Failing to apply them, or to raise
// the modem lines (a pty has none), is ignored.
bool PosixSerialPort::Configure(int fd, uint32_t baud) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 1;  // with O_NONBLOCK an empty read reports EAGAIN, 0 only at hang-up
  settings.c_cc[VTIME] = 0;
  SetSpeed(settings, baud);
  tcsetattr(fd, TCSANOW, &settings);
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  return true;
}

void PosixSerialPort::Close() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return;
  ioctl(fd, TIOCNXCL);
  ::close(fd);
}

void PosixSerialPort::Wake() {
  const uint64_t one = 1;
  if (::write(wake_, &one, sizeof one) < 0) {
    // The counter is saturated: a wake-up is pending anyway.
  }
}

bool PosixSerialPort::TakeWake() {
  uint64_t count = 0;
  return ::read(wake_, &count, sizeof count) > 0;
}

int PosixSerialPort::Read(uint8_t* buffer, size_t capacity) {
  const int fd = fd_;
  if (fd < 0) return ReadFailed("The port is closed");
  bool hungUp = false;
  while (!TakeWake()) {
    // Bytes that came before a hang-up are read first; the read after them
    // fails and tells why.
    const ssize_t count = ::read(fd, buffer, capacity);
    if (count > 0) return static_cast<int>(count);
    if (count == 0 || (hungUp && TryAgain())) return ReadFailed(strsignal(SIGHUP));  // no errno for an end of line
    if (!TryAgain()) return ReadFailed(std::strerror(errno));
    pollfd waiting[2] = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(waiting, 2, -1) < 0 && errno != EINTR) return ReadFailed(std::strerror(errno));
    hungUp = waiting[0].revents & (POLLERR | POLLHUP | POLLNVAL);
  }
  return 0;
}

bool PosixSerialPort::Write(const uint8_t* bytes, size_t count) {
  const int fd = fd_;
  if (fd < 0) return false;
  using namespace std::chrono;
  const auto deadline =
      steady_clock::now() + milliseconds(kWriteConstantMs + kWritePerByteMs * static_cast<int64_t>(count));
  size_t written = 0;
  while (written < count) {
    ssize_t step = ::write(fd, bytes + written, count - written);
    if (step > 0) {
      written += static_cast<size_t>(step);
      continue;
    }
    if (step < 0 && !TryAgain()) return false;
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd waiting{fd, POLLOUT, 0};
    if (::poll(&waiting, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    if (waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
  }
  return true;
}
