#pragma once

#include "system/SerialPort.h"

// The serial port on a host tty (or a pseudo-terminal standing in for one),
// reached through the dosdevices folder: "COM1" is $LUMEN_DOSDEVICES/com1.
class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const char* name, uint32_t baud) override;
  int Read(uint8_t* buffer, size_t capacity) override;
  bool Write(const uint8_t* bytes, size_t count) override;

 private:
  bool Configure(uint32_t baud);
  void Close();

  int fd_ = -1;
};
