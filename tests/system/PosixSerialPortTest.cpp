#include "system/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <vector>

#include "tests/support/PtyGateway.h"
#include "tests/support/TempDosDevices.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PosixSerialPortTest : public testing::Test {
 protected:
  TempDosDevices devices;
  PtyGateway gateway{devices.Root()};
  PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, OpensCom1AsRawLineAt1500000Baud) {
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

TEST_F(PosixSerialPortTest, CarriesEveryByteValueBothWaysAndFailsOnHangUp) {
  ASSERT_TRUE(port.Open("com1", 1500000));
  uint8_t buffer[512];
  port.Wake();  // a read with nothing to read sleeps until then
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
  Bytes all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  gateway.Send(all);
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (got.size() < all.size() && std::chrono::steady_clock::now() < deadline) {
    const int count = port.Read(buffer, sizeof buffer);
    ASSERT_GE(count, 0);
    got.insert(got.end(), buffer, buffer + count);
  }
  EXPECT_EQ(got, all);

  Bytes line(all.begin() + 0x7E, all.begin() + 0x80);
  line.insert(line.begin() + 1, all.begin(), all.begin() + 0x7E);
  ASSERT_TRUE(port.Write(line.data(), line.size()));
  EXPECT_EQ(gateway.ReadFrame(2000), line);
  gateway.Close();
  EXPECT_EQ(port.Read(buffer, sizeof buffer), -1);
}

TEST(PosixSerialPort, MissingDeviceCannotBeOpenedOrUsed) {
  TempDosDevices devices;
  PosixSerialPort port;
  EXPECT_FALSE(port.Open("COM1", 1500000));
  uint8_t byte = 0x7E;
  EXPECT_FALSE(port.Write(&byte, 1));
  EXPECT_EQ(port.Read(&byte, 1), -1);
}

TEST(PosixSerialPort, FileThatIsNoLineTakesWritesButIsNotConfigured) {
  TempDosDevices devices;
  const std::string path = devices.WriteFile("com1", "");
  PosixSerialPort port;
  EXPECT_FALSE(port.Open("COM1", 1500000));
  EXPECT_TRUE(port.Write(reinterpret_cast<const uint8_t*>("\x7E\x01\x7F"), 3));
  EXPECT_EQ(TempDosDevices::ReadFile(path), "\x7E\x01\x7F");
}

}  // namespace
