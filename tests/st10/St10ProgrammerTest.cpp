#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeScreen.h"
#include "FakeSt10Node.h"
#include "HexText.h"
#include "OperatorTexts.h"
#include "RowName.h"
#include "TempDosDevices.h"
#include "TimeLeftCheck.h"
#include "console/ReplyRouting.h"
#include "console/ProgramState.h"
#include "st10/St10Programmer.h"

namespace {

using Times = std::vector<uint32_t>;
using Boxes = std::vector<FakeScreen::Box>;
using Replies = std::vector<FakeSt10Node::Reply>;

const std::string kAddressLine = ":020000040000FA";                           // 15 characters
const std::string kEnd = ":00000001FF\r\n";

class St10ProgrammerTest : public ::testing::Test {
 protected:
  St10ProgrammerTest() { ResetRunState(); }

  // Writes the hex file and runs the engine on it.
  bool Program(const std::string& content) {
    drives.WriteFile("e:/Pinecroft/P149.hex", content);
    return programmer.Program("P149.hex");
  }

  VirtualClock clock;
  ScopedClock scopedClock{clock};
  TempDosDevices drives;
  FakeScreen screen;
  St10Programmer programmer;
  FakeSt10Node node{screen, clock, programmer};
};

// ---- The commands' waits: Start resent every 5 s and given up after 10, Erase every minute for two, Prog and
// Reset polled 51 times 100 ms ----

struct WaitCase {
  const char* name;
  const char* command;
  Replies replies;  // none: never answered
  Times times;      // of the command
  const char* next;
  Times nextTimes;
};

class St10CommandWaitTest : public St10ProgrammerTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(St10CommandWaitTest, ResendsAndGivesUpOnTime) {
  const WaitCase& wait = GetParam();
  node.commandReplies[wait.command] = wait.replies;
  const bool answered = !wait.replies.empty();
  EXPECT_EQ(Program(kEnd), answered);
  EXPECT_EQ(node.TimesOf(wait.command), wait.times);
  EXPECT_EQ(node.TimesOf(wait.next), wait.nextTimes);
  if (answered) return;
  EXPECT_EQ(node.frames.back().text, "<Reset>");
  EXPECT_EQ(screen.Questions(), (Boxes{{"ERROR!!!", kSt10Retry}}));
  EXPECT_EQ(screen.Messages(), (Boxes{{"Warning", kNotSuccessful}}));
  EXPECT_THAT(screen.Logs(), ::testing::Not(::testing::Contains(kSt10Retry)));
  EXPECT_EQ(node.streamed, "");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, St10CommandWaitTest,
    ::testing::Values(
        WaitCase{"StartAfterSevenSeconds", "<Start>", {{7000, {0xD1, 0x01}}}, {0, 5000}, "<Erase>", {7000}},
        WaitCase{"StartNever", "<Start>", {}, {0, 5000, 10000}, "<Reset>", {10000}},
        WaitCase{"EraseNever", "<Erase>", {}, {0, 60000, 120000}, "<Prog>", {}},
        WaitCase{"ProgNever", "<Prog>", {}, {0}, "<Reset>", {5100}}),
    RowName());

// ---- The stream ----

TEST_F(St10ProgrammerTest, SilentNodeTimesOutWithTheLineCount) {
  node.lineReplies[2] = {};
  EXPECT_FALSE(Program(kAddressLine + "\r\n" + kEnd + kEnd));
  EXPECT_EQ(node.streamed, kAddressLine + "\n:00000001FF\n");
  EXPECT_EQ(screen.Messages(), (Boxes{{"ERROR!!!", "Node timeout: line count = 2"}, {"Warning", kNotSuccessful}}));
  EXPECT_EQ(node.TimesOf("<Reset>"), Times{2001});
}

TEST_F(St10ProgrammerTest, LineAcceptedOnTheLastPollIsInTime) {
  node.lineReply = {{2001, {0xD4, 0x01}}};
  EXPECT_TRUE(Program(kEnd));
}

// Once one node has shown how long its commands and lines take, each
// estimate for the next one is the time it then took: a slow erase or line,
// or a forgotten step, would each put it seconds off.
TEST_F(St10ProgrammerTest, TimeLeftOfTheNextNodeIsTheTimeItTakes) {
  node.commandReplies["<Erase>"] = {{3000, {0xD2, 0x01}}};
  node.lineReply = {{5, {0xD4, 0x01}}};
  const std::string file = IntelHex(RandomImage(16000, 1));
  ASSERT_TRUE(Program(file));
  programmer.ResetState();
  ExpectTimeLeftIsTheTimeItTakes([&] { return clock.TickCount(); }, screen, [&] { return Program(file); }, 100u);
}

struct ErrorCase {
  const char* name;
  std::vector<uint8_t> data;
  std::string text;
};

class St10ErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(St10ErrorTextTest, ComposesTheOperatorsText) {
  St10Programmer programmer;
  programmer.OnReply(FakeScreen::Received(kSt10ReplyIdentifier, GetParam().data));
  EXPECT_EQ(programmer.ErrorText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, St10ErrorTextTest,
    ::testing::Values(
        ErrorCase{"Readback", {0x00, 0x20, 0x00, 0x01, 0x05}, "Readback Error Line: 21"},  // "1" "5" read as 0x15
        ErrorCase{"Checksum", {0x00, 0x40, 0x01, 0x2C}, "Checksum Error Line: 300"},
        ErrorCase{"LongAddress", {0x00, 0x80, 0x12, 0x34, 0x00, 0x01}, "Invalid Address Error: 0x011234"},
        ErrorCase{"ShortAddress", {0x00, 0x80, 0x12, 0x34}, "Invalid Address Error: 0x1234"},
        ErrorCase{"NotErased", {0x00, 0x08}, "Board Not Erased"}, ErrorCase{"Field", {0x02, 0x00}, "Wrong Field Assembly Error"},
        ErrorCase{"UnknownBit", {0x00, 0x10},
                  "Unknown Error, CAN Message: ID = 418320625, Length = 2, Data = 0 16 0 0 0 0 0 0"},
        ErrorCase{"Empty", {}, "Unknown Error, CAN Message: ID = 418320625, Length = 0, Data = 0 0 0 0 0 0 0 0"}),
    RowName());

}  // namespace
