#pragma once

#include <string>

// A pseudo-terminal standing in for the gateway's serial line: its slave is
// linked as "com1" in the given dosdevices folder, so that the test can look
// at the line settings the host makes.
class PtyGateway {
 public:
  explicit PtyGateway(const std::string& dosDevicesRoot);
  ~PtyGateway();
  PtyGateway(const PtyGateway&) = delete;
  PtyGateway& operator=(const PtyGateway&) = delete;

  // The test's own descriptor of the slave, to look at its line settings.
  int Slave() const { return slave_; }

 private:
  void Close();

  int master_ = -1;
  int slave_ = -1;
};
