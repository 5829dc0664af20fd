#include "display/ControlChannel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "ControlClient.h"

namespace {

struct ParseCase {
  const char* line;
  bool accepted;
  InputEvent::Kind kind = InputEvent::kNone;
  int x = 0;
  int y = 0;
  const char* path = "";
};

class ControlLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ControlLineTest, Parses) {
  const ParseCase& c = GetParam();
  InputEvent event;
  ASSERT_EQ(ControlChannel::Parse(c.line, event), c.accepted);
  if (!c.accepted) return;
  EXPECT_EQ(std::tie(event.kind, event.x, event.y, event.path), std::tie(c.kind, c.x, c.y, c.path));
}

INSTANTIATE_TEST_SUITE_P(Lines, ControlLineTest,
                         testing::ValuesIn(std::vector<ParseCase>{
                             {"touch 12 34", true, InputEvent::kTouch, 12, 34},
                             {"  touch\t-5   700 \r", true, InputEvent::kTouch, -5, 700},
                             {"touch 99999999999999 -99999999999999", true, InputEvent::kTouch, INT_MAX, INT_MIN},
                             {"touch 999999999999999999999999999 0", true, InputEvent::kTouch, INT_MAX, 0},
                             {"screenshot /tmp/a b.png\r", true, InputEvent::kScreenshot, 0, 0, "/tmp/a b.png"},
                             {"", true}, {" \t\r", true},
                             {"touch", false}, {"touch 1", false}, {"touch 1 2 3", false}, {"touch 1.5 2", false},
                             {"touch 0x10 2", false}, {"touch a b", false}, {"TOUCH 1 2", false}, {"touch1 2", false},
                             {"screenshot", false}, {"screenshot  \r", false}, {"click 1 2", false},
                         }));

class ControlChannelTest : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string folder_ = testing::TempDir() + "control-" + std::to_string(getpid());
  std::string path_ = folder_ + "/control";
};

TEST_F(ControlChannelTest, JoinsSplitLinesSkipsOverlongOnesAndOutlivesItsWriters) {
  ControlChannel channel(path_);
  ASSERT_TRUE(channel.IsOpen());
  EXPECT_TRUE(std::filesystem::is_fifo(path_));
  std::ofstream(path_) << std::string(5000, 'x') << "\ntouch 1";
  for (int i = 0; i < 3; ++i) channel.ReadAvailable();
  InputEvent event;
  EXPECT_FALSE(channel.Next(event));  // half a line is not a command yet
  ControlClient client(path_);
  ASSERT_TRUE(client.Send(" 2\nscreenshot shot.png"));
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(client.Touch(i, 2 * i));

  // The commands read, written back as lines.
  auto line = [](const InputEvent& e) {
    return e.kind == InputEvent::kTouch ? "touch " + std::to_string(e.x) + " " + std::to_string(e.y)
                                        : "screenshot " + e.path;
  };
  std::vector<std::string> expected{"touch 1 2", "screenshot shot.png"}, got;
  for (int i = 0; i < 20; ++i) expected.push_back(line(InputEvent{InputEvent::kTouch, i, 2 * i, {}}));
  for (int round = 0; round < 100 && got.size() < expected.size(); ++round) {
    pollfd watched{channel.Fd(), POLLIN, 0};
    poll(&watched, 1, 20);
    channel.ReadAvailable();
    while (channel.Next(event)) got.push_back(line(event));
  }
  EXPECT_EQ(got, expected);
  // Every writer has gone: the FIFO must not read as end of file forever.
  pollfd watched{channel.Fd(), POLLIN, 0};
  EXPECT_EQ(poll(&watched, 1, 0), 0);
}

TEST_F(ControlChannelTest, UsesAnExistingFifoAndRefusesOtherFiles) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  EXPECT_TRUE(ControlChannel(path_).IsOpen());
  std::ofstream(folder_ + "/file") << "touch 1 2\n";
  EXPECT_FALSE(ControlChannel(folder_ + "/file").IsOpen());
  EXPECT_FALSE(ControlChannel(folder_ + "/missing/control").IsOpen());
}

}  // namespace
