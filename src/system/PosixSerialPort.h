#pragma once

#include <atomic>

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

 private:
  bool Configure(int fd, uint32_t baud);
  // True when the wake-up descriptor was signalled; clears it.
  bool TakeWake();

  // Opened and closed by the reading thread while others write.
  std::atomic<int> fd_{-1};
  int wake_ = -1;
};
