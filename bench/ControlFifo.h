#pragma once

#include <functional>
#include <string>

// A named pipe that takes control lines from tests and technicians
// ("echo dump > FIFO"). It stays readable when writers come and go.
class ControlFifo {
 public:
  static constexpr size_t kLongestLine = 256;

  ControlFifo() = default;
  ~ControlFifo();
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  // Creates the FIFO at path, replacing a stale one.
  bool Open(const std::string& path, std::string& error);
  int fd() const { return reader_; }
  // Reads what is there and hands over each complete line.
  void Drain(const std::function<void(const std::string&)>& onLine);

 private:
  std::string path_;
  int reader_ = -1;
  int keepOpen_ = -1;  // our own writer: no end-of-file when the last writer leaves
  std::string partial_;
};
