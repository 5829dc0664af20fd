#include "display/ControlChannel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits off the first word of text; text keeps the trimmed rest.
std::string_view NextWord(std::string_view& text) {
  text = Trim(text);
  size_t end = text.find_first_of(kBlanks);
  std::string_view word = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : Trim(text.substr(end));
  return word;
}

// A decimal integer, clamped to int so that any coordinate is safe.
bool ParseCoordinate(std::string_view word, int& value) {
  if (word.empty() || word.size() > 64) return false;
  char digits[65];
  word.copy(digits, word.size());
  digits[word.size()] = '\0';
  char* end = nullptr;
  long long parsed = std::strtoll(digits, &end, 10);
  if (*end != '\0' || end == digits) return false;
  value = static_cast<int>(parsed < INT_MIN ? INT_MIN : parsed > INT_MAX ? INT_MAX : parsed);
  return true;
}

}  // namespace

ControlChannel::ControlChannel(const std::string& path) {
  if (mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "control: cannot create FIFO %s: %s\n", path.c_str(), std::strerror(errno));
    return;
  }
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISFIFO(status.st_mode)) {
    std::fprintf(stderr, "control: %s is not a FIFO; no control channel\n", path.c_str());
    return;
  }
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) std::fprintf(stderr, "control: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
}

ControlChannel::~ControlChannel() {
  if (fd_ >= 0) close(fd_);
}

void ControlChannel::ReadAvailable() {
  if (fd_ < 0) return;
  // One buffer per call: a writer that never stops cannot hold the UI thread.
  char buffer[kMaxLine];
  ssize_t got = read(fd_, buffer, sizeof buffer);
  if (got > 0) Take(buffer, static_cast<size_t>(got));
}

void ControlChannel::Take(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != '\n') {
      if (line_.size() < kMaxLine) {
        line_ += data[i];
      } else {
        overlong_ = true;
      }
      continue;
    }
    if (overlong_) {
      std::fprintf(stderr, "control: line longer than %zu characters ignored\n", kMaxLine);
    } else {
      lines_.push_back(line_);
    }
    line_.clear();
    overlong_ = false;
  }
}

bool ControlChannel::Next(InputEvent& event) {
  while (!lines_.empty()) {
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    if (!Parse(line, event)) {
      std::fprintf(stderr, "control: ignored \"%s\" (expected \"touch X Y\" or \"screenshot FILE.png\")\n",
                   line.c_str());
    } else if (event.kind != InputEvent::kNone) {
      return true;
    }
  }
  return false;
}

bool ControlChannel::Parse(std::string_view line, InputEvent& event) {
  event = InputEvent{};
  std::string_view rest = line;
  std::string_view command = NextWord(rest);
  if (command.empty()) return true;
  if (command == "touch") {
    std::string_view x = NextWord(rest);
    std::string_view y = NextWord(rest);
    if (!rest.empty() || !ParseCoordinate(x, event.x) || !ParseCoordinate(y, event.y)) return false;
    event.kind = InputEvent::kTouch;
    return true;
  }
  if (command == "screenshot" && !rest.empty()) {
    event.kind = InputEvent::kScreenshot;
    event.path = std::string(rest);
    return true;
  }
  return false;
}
