#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

PseudoTerminal::~PseudoTerminal() {
  Close();
  RemoveLink();
}

// Only our own link goes; another bench may have taken the name since.
void PseudoTerminal::RemoveLink() {
  char target[256];
  const ssize_t length = readlink(link_.c_str(), target, sizeof target - 1);
  if (length > 0 && slave_ == std::string(target, static_cast<size_t>(length))) unlink(link_.c_str());
}

bool PseudoTerminal::Open(const std::string& linkPath, std::string& error) {
  link_ = linkPath;
  return Create(error) && Link(error);
}

bool PseudoTerminal::Renew(std::string& error) {
  // The old pty stays open until the new one is linked, so the new one gets
  // another name and the link changes visibly.
  const int old = master_;
  pending_.clear();
  const bool renewed = Create(error) && Link(error);
  close(old);
  return renewed;
}

void PseudoTerminal::Unplug() {
  Close();
  pending_.clear();
  RemoveLink();
}

bool PseudoTerminal::Replug(std::string& error) { return Create(error) && Link(error); }

bool PseudoTerminal::Create(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ptsname(master_);
  slave_ = name ? name : "";
  // Raw on the master makes the slave raw too: no echo, no line editing,
  // no CR/LF translation until the host sets its own mode.
  termios settings{};
  if (tcgetattr(master_, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(master_, TCSANOW, &settings);
  }
  return true;
}

bool PseudoTerminal::Link(std::string& error) {
  std::error_code ignored;
  const std::filesystem::path link(link_);
  if (link.has_parent_path()) std::filesystem::create_directories(link.parent_path(), ignored);
  // Link under a temporary name and rename it over the old one, so that the
  // name never points nowhere while the host looks it up.
  const std::string temporary = link_ + ".canbench-" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(slave_.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link_.c_str()) != 0) {
    error = "cannot link " + link_ + " to " + slave_ + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

void PseudoTerminal::Close() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

long PseudoTerminal::Read(uint8_t* bytes, size_t capacity) {
  const ssize_t count = read(master_, bytes, capacity);
  if (count >= 0) return count;
  return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void PseudoTerminal::Write(const uint8_t* bytes, size_t count) {
  if (!Plugged()) return;
  if (pending_.size() + count > kMaxPending) {
    std::fprintf(stderr, "canbench: the host reads nothing; %zu bytes dropped\n", count);
    return;
  }
  pending_.append(reinterpret_cast<const char*>(bytes), count);
  Flush();
}

bool PseudoTerminal::Flush() {
  while (!pending_.empty()) {
    const ssize_t written = write(master_, pending_.data(), pending_.size());
    if (written <= 0) break;
    pending_.erase(0, static_cast<size_t>(written));
  }
  return pending_.empty();
}
