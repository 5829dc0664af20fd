#include "PtyGateway.h"

#include <pty.h>
#include <unistd.h>

PtyGateway::PtyGateway(const std::string& dosDevicesRoot) {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
  const std::string link = dosDevicesRoot + "/com1";
  unlink(link.c_str());
  if (symlink(name, link.c_str()) != 0) Close();
}

PtyGateway::~PtyGateway() { Close(); }

void PtyGateway::Close() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}
