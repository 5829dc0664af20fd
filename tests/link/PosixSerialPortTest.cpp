#include "platform/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <vector>

#include "tests/support/PtyGateway.h"
#include "tests/support/TempDosDevices.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Reads until count bytes came or a generous real-time limit passed.
Bytes ReadAll(PosixSerialPort& port, size_t count) {
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  uint8_t buffer[1024];
  while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
    int n = port.Read(buffer, sizeof buffer);
    if (n < 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

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
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_cflag & (CSTOPB | PARENB | CRTSCTS), 0u);
  EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

TEST_F(PosixSerialPortTest, CarriesEveryByteValueBothWays) {
  ASSERT_TRUE(port.Open("com1", 1500000));
  Bytes all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);

  gateway.Send(all);
  EXPECT_EQ(ReadAll(port, all.size()), all);

  Bytes line = {0x7E};
  line.insert(line.end(), all.begin(), all.begin() + 0x7E);
  line.push_back(0x7F);
  ASSERT_TRUE(port.Write(line.data(), line.size()));
  EXPECT_EQ(gateway.ReadFrame(2000), line);
}

TEST_F(PosixSerialPortTest, EmptyReadReturnsNothingAndHangUpFails) {
  ASSERT_TRUE(port.Open("COM1", 1500000));
  uint8_t buffer[16];
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
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
  const uint8_t frame[] = {0x7E, 0x01, 0x01, 0x00, 0x7F};
  EXPECT_TRUE(port.Write(frame, sizeof frame));
  EXPECT_EQ(TempDosDevices::ReadFile(path), std::string("\x7E\x01\x01\x00\x7F", 5));
}

}  // namespace
