#include "display/ControlChannel.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

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
                             {"  touch\t-5   700 \r", true, InputEvent::kTouch, -5, 700},
                             {"touch 99999999999999 -99999999999999", true, InputEvent::kTouch, INT_MAX, INT_MIN},
                             {"screenshot /tmp/a b.png\r", true, InputEvent::kScreenshot, 0, 0, "/tmp/a b.png"},
                             {" \t\r", true}, {"touch 1", false}, {"touch 1 2 3", false}, {"touch 1.5 2", false},
                             {"screenshot  \r", false},
                         }));

}  // namespace
