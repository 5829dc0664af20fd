#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A serial port as the gateway link uses it: opened by its DOS name ("COM1"),
// read by one thread that sleeps until bytes arrive, written in whole frames,
// and closed and opened again when the device behind it goes away. The link
// talks to this interface so that it can run against a fake port.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port by its DOS name, resolved afresh on every call, and
  // configures it (raw 8N1 at baud, DTR and RTS on, no flow control,
  // exclusive). True only when the port is open and configured, so that
  // reading makes sense; a port that opened but could not be configured still
  // takes writes.
  virtual bool Open(const char* name, uint32_t baud) = 0;
  // Waits until bytes arrive or Wake is called. The count read (0 when woken
  // with nothing read), or -1 when the port is not open, failed or its peer
  // went away.
  virtual int Read(uint8_t* buffer, size_t capacity) = 0;
  // Writes all count bytes within 10 ms per byte + 2000 ms. False when the
  // port is not open, the write failed or it timed out.
  virtual bool Write(const uint8_t* bytes, size_t count) = 0;
  // Reads and writes fail from now on, until the next Open.
  virtual void Close() = 0;
  // Makes the Read under way, or else the next one, return at once. Safe
  // from any thread.
  virtual void Wake() = 0;
  // The system's words for why the last Open or Read failed ("Input/output
  // error"), for the log. Read by the thread that opens and reads.
  virtual std::string ErrorText() const = 0;
};
