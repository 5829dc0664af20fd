#include "system/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "PtyGateway.h"
#include "TempDosDevices.h"

namespace {

TEST(PosixSerialPortTest, OpensCom1AsRawLineAt1500000Baud) {
  TempDosDevices devices;
  PtyGateway gateway{devices.Root()};
  PosixSerialPort port;
  ASSERT_TRUE(port.Open("COM1", 1500000));
  termios settings{};
  ASSERT_EQ(tcgetattr(gateway.Slave(), &settings), 0);
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B1500000));
  EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B1500000));
  EXPECT_EQ(settings.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS | CLOCAL | CREAD),
            static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

}  // namespace
