#include "app/LogFile.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TempDosDevices.h"

namespace {

class LogFileTest : public ::testing::Test {
 protected:
  TempDosDevices devices;
  std::string path = devices.MakeFolder("e:/Pinecroft") + "/LOGFILE.txt";
};

TEST(LogFileHeaderTest, WritesFieldsWithoutLeadingZeros) {
  std::tm local{};
  local.tm_mday = 4;
  local.tm_mon = 11;
  local.tm_year = 126;
  local.tm_hour = 6;
  local.tm_min = 9;
  local.tm_sec = 22;
  EXPECT_EQ(LogFile::HeaderLine(local, "1.4.1.0"), "Date: 4/12/2026, Time: 6:9:22 - Ver: 1.4.1.0");
}

TEST_F(LogFileTest, WritesEachLineWithCrLfAndFlushesAtOnce) {
  LogFile log;
  log.Open(path);
  log.Write("first");
  log.Write("");
  log.Write(std::string(600, 'x').c_str());
  EXPECT_EQ(TempDosDevices::ReadFile(path), "first\r\n\r\n" + std::string(600, 'x') + "\r\n");
}

TEST_F(LogFileTest, EveryStartTruncatesThePreviousLog) {
  devices.WriteFile("e:/Pinecroft/LOGFILE.txt", "old run\r\n");
  LogFile log;
  log.Open(path);
  log.Write("new run");
  EXPECT_EQ(TempDosDevices::ReadFile(path), "new run\r\n");
}

TEST_F(LogFileTest, NothingIsWrittenAfterClose) {
  LogFile log;
  log.Open(path);
  log.Write("before");
  log.Close();
  log.Write("after");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(TempDosDevices::ReadFile(path), "before\r\n");
}

TEST_F(LogFileTest, AMissingDriveDropsEveryLineQuietly) {
  LogFile log;
  log.Open(devices.Root() + "/f:/Pinecroft/LOGFILE.txt");
  log.Write("lost");
  EXPECT_FALSE(log.IsOpen());
}

TEST_F(LogFileTest, ASecondOpenLeavesTheLogFailed) {
  LogFile log;
  log.Open(path);
  log.Open(path);
  log.Write("dropped");
  EXPECT_FALSE(log.IsOpen());
}

TEST_F(LogFileTest, LinesFromSeveralThreadsNeverInterleave) {
  LogFile log;
  log.Open(path);
  const std::string lineA(200, 'a'), lineB(200, 'b');
  auto writer = [&log](const std::string& line) {
    for (int i = 0; i < 200; ++i) log.Write(line.c_str());
  };
  std::thread first(writer, lineA), second(writer, lineB);
  first.join();
  second.join();
  std::string content = TempDosDevices::ReadFile(path);
  size_t lines = 0;
  for (size_t at = 0; at < content.size();) {
    size_t end = content.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    std::string line = content.substr(at, end - at);
    EXPECT_TRUE(line == lineA || line == lineB);
    ++lines;
    at = end + 2;
  }
  EXPECT_EQ(lines, 400u);
}

}  // namespace
