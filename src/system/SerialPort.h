#pragma once

#include <cstddef>
#include <cstdint>

// A serial port as the gateway link uses it: opened once by its DOS name
// ("COM1"), then read in short polls and written in whole frames. The link
// talks to this interface so that it can run against a fake port.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port by its DOS name and configures it (raw 8N1 at baud, DTR
  // and RTS on, no flow control, exclusive). True only when the port is open
  // and configured, so that reading makes sense; a port that opened but could
  // not be configured still takes writes.
  virtual bool Open(const char* name, uint32_t baud) = 0;
  // Returns at once with what is buffered, else waits up to 1 ms for the
  // first byte. The count read (0 when nothing came), or -1 when the port
  // failed or its peer went away.
  virtual int Read(uint8_t* buffer, size_t capacity) = 0;
  // Writes all count bytes within 10 ms per byte + 2000 ms. False when the
  // port is not open, the write failed or it timed out.
  virtual bool Write(const uint8_t* bytes, size_t count) = 0;
};
