#include "system/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "TempDosDevices.h"

namespace {

// A pseudo-terminal stands in as "com1"; its slave shows the settings made.
TEST(PosixSerialPortTest, OpensCom1AsRawLineAt1500000Baud) {
  TempDosDevices devices;
  int master = -1, slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ASSERT_EQ(symlink(name, (devices.Root() + "/com1").c_str()), 0);
  PosixSerialPort port;
  ASSERT_TRUE(port.Open("COM1", 1500000));
  termios settings{};
  ASSERT_EQ(tcgetattr(slave, &settings), 0);
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B1500000));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B1500000));
  EXPECT_EQ(settings.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS | CLOCAL | CREAD),
            static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  close(master);
  close(slave);
}

}  // namespace
