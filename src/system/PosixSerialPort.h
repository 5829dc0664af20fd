#pragma once

#include <atomic>
#include <string>

#include "system/SerialPort.h"

// The serial port on a host tty (or a pseudo-terminal standing in for one),
// reached through the dosdevices folder: "COM1" is $LUMEN_DOSDEVICES/com1.
// Reads sleep in poll on the tty and on an event descriptor that Wake
// signals, so an idle line costs no wake-ups.
class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort();
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const char* name, uint32_t baud) override;
  int Read(uint8_t* buffer, size_t capacity) override;
  bool Write(const uint8_t* bytes, size_t count) override;
  void Close() override;
  void Wake() override;
  std::string ErrorText() const override { return error_; }

 private:
  bool Configure(int fd, uint32_t baud);
  // True when the wake-up descriptor was signalled; clears it.
  bool TakeWake();
  // Notes why Open or Read failed; false and -1 for the caller to return.
  bool OpenFailed(const char* why);
  int ReadFailed(const char* why);

  // Opened and closed by the reading thread while others write.
  std::atomic<int> fd_{-1};
  int wake_ = -1;
  std::string error_;  // opening and reading thread only
};
