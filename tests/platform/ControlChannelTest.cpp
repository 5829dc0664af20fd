#include "platform/ControlChannel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "ControlClient.h"

namespace {

struct ParseCase {
  const char* line;
  bool accepted;
  InputEvent::Kind kind;
  int x;
  int y;
  const char* path;
};

ParseCase Refused(const char* line) { return ParseCase{line, false, InputEvent::kNone, 0, 0, ""}; }

class ControlLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ControlLineTest, Parses) {
  const ParseCase& c = GetParam();
  InputEvent event;
  EXPECT_EQ(ControlChannel::Parse(c.line, event), c.accepted);
  if (!c.accepted) return;
  EXPECT_EQ(event.kind, c.kind);
  EXPECT_EQ(event.x, c.x);
  EXPECT_EQ(event.y, c.y);
  EXPECT_EQ(event.path, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ControlLineTest,
    testing::Values(ParseCase{"touch 12 34", true, InputEvent::kTouch, 12, 34, ""},
                    ParseCase{"  touch\t-5   700 \r", true, InputEvent::kTouch, -5, 700, ""},
                    ParseCase{"touch 99999999999999 -99999999999999", true, InputEvent::kTouch, INT_MAX, INT_MIN, ""},
                    ParseCase{"touch 999999999999999999999999999 0", true, InputEvent::kTouch, INT_MAX, 0, ""},
                    ParseCase{"screenshot /tmp/a b.png\r", true, InputEvent::kScreenshot, 0, 0, "/tmp/a b.png"},
                    ParseCase{"", true, InputEvent::kNone, 0, 0, ""},
                    ParseCase{" \t\r", true, InputEvent::kNone, 0, 0, ""},
                    Refused("touch"), Refused("touch 1"), Refused("touch 1 2 3"),
                    Refused("touch 1.5 2"), Refused("touch 0x10 2"), Refused("touch a b"),
                    Refused("TOUCH 1 2"), Refused("touch1 2"), Refused("screenshot"),
                    Refused("screenshot  \r"), Refused("click 1 2")));

class ControlChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "control-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(pattern.data()));
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Waits (briefly, in poll) for input and collects the commands read.
  static std::vector<InputEvent> Drain(ControlChannel& channel, size_t expected) {
    std::vector<InputEvent> events;
    InputEvent event;
    for (int round = 0; round < 100 && events.size() < expected; ++round) {
      pollfd watched{channel.Fd(), POLLIN, 0};
      poll(&watched, 1, 20);
      channel.ReadAvailable();
      while (channel.Next(event)) events.push_back(event);
    }
    return events;
  }

  // Writes bytes as they are, without a line end.
  static void WriteRaw(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }

  std::string folder_;
};

TEST_F(ControlChannelTest, CreatesTheFifoAndSurvivesWritersComingAndGoing) {
  std::string path = folder_ + "/control";
  ControlChannel channel(path);
  ASSERT_TRUE(channel.IsOpen());
  EXPECT_TRUE(std::filesystem::is_fifo(path));
  ControlClient client(path);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(client.Touch(i, 2 * i));
  std::vector<InputEvent> events = Drain(channel, 20);
  ASSERT_EQ(events.size(), 20u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(events[i].x, i);
    EXPECT_EQ(events[i].y, 2 * i);
  }
  // Every writer has gone: the FIFO must not read as end of file forever.
  pollfd watched{channel.Fd(), POLLIN, 0};
  EXPECT_EQ(poll(&watched, 1, 0), 0);
}

TEST_F(ControlChannelTest, JoinsLinesSplitAcrossWritesAndSkipsOverlongOnes) {
  std::string path = folder_ + "/control";
  ControlChannel channel(path);
  WriteRaw(path, std::string(5000, 'x') + "\ntouch 1");
  for (int i = 0; i < 3; ++i) channel.ReadAvailable();
  InputEvent event;
  EXPECT_FALSE(channel.Next(event));  // half a line is not a command yet
  WriteRaw(path, " 2\nscreenshot shot.png\n");
  std::vector<InputEvent> events = Drain(channel, 2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, InputEvent::kTouch);
  EXPECT_EQ(events[0].x, 1);
  EXPECT_EQ(events[0].y, 2);
  EXPECT_EQ(events[1].kind, InputEvent::kScreenshot);
  EXPECT_EQ(events[1].path, "shot.png");
}

TEST_F(ControlChannelTest, UsesAnExistingFifoAndRefusesOtherFiles) {
  std::string fifo = folder_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(ControlChannel(fifo).IsOpen());

  std::string file = folder_ + "/file";
  std::ofstream(file) << "touch 1 2\n";
  EXPECT_FALSE(ControlChannel(file).IsOpen());
  EXPECT_FALSE(ControlChannel(folder_ + "/missing/control").IsOpen());
}

}  // namespace
