#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal standing in for the gateway's serial line: its slave is
// linked as "com1" in the given dosdevices folder, the test holds the master
// and plays the gateway on it.
class PtyGateway {
 public:
  explicit PtyGateway(const std::string& dosDevicesRoot);
  ~PtyGateway();
  PtyGateway(const PtyGateway&) = delete;
  PtyGateway& operator=(const PtyGateway&) = delete;

  // The test's own descriptor of the slave, to look at its line settings.
  int Slave() const { return slave_; }
  void Send(const std::vector<uint8_t>& bytes) const;
  // Bytes of one whole frame (0x7E .. 0x7F) from the host, or what arrived
  // before timeoutMs passed.
  std::vector<uint8_t> ReadFrame(int timeoutMs);
  // Hangs up: the host's reads fail from now on.
  void Close();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::vector<uint8_t> pending_;
};
