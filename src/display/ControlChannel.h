#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "display/Display.h"

// The scripted way into the program: a FIFO from which lines are read.
//   touch X Y            press the screen at (X, Y), screen coordinates
//   screenshot FILE.png  write the current screen as PNG
// Writers may open, write and close the FIFO as often as they like: it is
// held open for writing by the program itself, so their closing never makes
// it readable at end of file.
class ControlChannel {
 public:
  // Creates the FIFO at path when absent and opens it. A failure is reported
  // on stderr and leaves the channel closed.
  explicit ControlChannel(const std::string& path);
  ~ControlChannel();
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // For poll(): readable when writers have sent something.
  int Fd() const { return fd_; }
  // Takes what the writers have sent so far, without blocking.
  void ReadAvailable();
  // The next well-formed command read so far; false when there is none.
  // Malformed and unknown lines are reported on stderr and skipped.
  bool Next(InputEvent& event);

  // One line without its line end; blank lines give kNone, bad ones false.
  static bool Parse(std::string_view line, InputEvent& event);

 private:
  void Take(const char* data, std::size_t size);

  static constexpr std::size_t kMaxLine = 4096;

  int fd_ = -1;
  std::string line_;  // the line being received
  bool overlong_ = false;
  std::deque<std::string> lines_;  // complete lines not yet handed out
};
