#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeScreen.h"
#include "FakeSt10Node.h"
#include "TempDosDevices.h"
#include "can/ProgramState.h"
#include "st10/St10Programmer.h"

namespace {

using ::testing::ElementsAre;
using Times = std::vector<uint32_t>;
using Replies = std::vector<FakeSt10Node::Reply>;

const std::string kAddressLine = ":020000040000FA";                           // 15 characters
const std::string kDataLine = ":10000000000102030405060708090A0B0C0D0E0F78";  // 43 characters
const std::string kEnd = ":00000001FF\r\n";
const char kRetryQuestion[] =
    "An error occurred during programming, check your CAN connections. \nWould you like to try again?";
const char kWarning[] = "Programming was not successful, node may not be usable. Contact Alder for support.";

CanMessage Reply(std::vector<uint8_t> data) {
  CanMessage reply{kSt10ReplyIdentifier, 0, static_cast<uint8_t>(data.size()), {}};
  std::copy(data.begin(), data.end(), reply.data);
  return reply;
}

class St10ProgrammerTest : public ::testing::Test {
 protected:
  St10ProgrammerTest() {
    BootloaderType = kNoBootloader;
    BootloaderAnnounced = false;
  }

  // Writes the hex file and runs the engine on it.
  bool Program(const std::string& content) {
    drives.WriteFile("e:/Pinecroft/P149.hex", content);
    return programmer.Program("P149.hex");
  }
  std::vector<FakeScreen::Box> Boxes() const { return screen.Messages(); }

  VirtualClock clock;
  ScopedClock scopedClock{clock};
  TempDosDevices drives;
  FakeScreen screen;
  St10Programmer programmer;
  FakeSt10Node node{screen, clock, programmer};
};

// A 15-character line and its line feed fill two frames and go out without
// waiting; a 43-character line fills five and a short one, then waits.
TEST_F(St10ProgrammerTest, ProgramsANodeFrameByFrame) {
  node.lineReply = {{50, {0xD4, 0x01}}};
  const std::string content = kAddressLine + "\r\n" + kDataLine + "\r\n" + kEnd;
  EXPECT_TRUE(Program(content));

  EXPECT_THAT(node.Texts(), ElementsAre("<Start>", "<Erase>", "<Prog>",                  //
                                        ":0200000", "40000FA\n",                         //
                                        ":1000000", "00001020", "30405060", "708090A0",  //
                                        "B0C0D0E0", "F78\n",                             //
                                        ":0000000", "1FF\n",                             //
                                        "<Reset>"));
  for (const FakeSt10Node::Frame& frame : node.frames) {
    SCOPED_TRACE(frame.text);
    EXPECT_EQ(frame.message.identifier, St10Programmer::kCommandIdentifier);
    EXPECT_EQ(frame.message.flags & CanMessage::kExtendedFlag, 0);
    EXPECT_EQ(frame.message.length, frame.text.size());
    for (size_t i = frame.text.size(); i < 8; ++i) EXPECT_EQ(frame.message.data[i], 0) << i;
  }
  EXPECT_THAT(node.TimesOf("F78\n"), ElementsAre(0));
  EXPECT_THAT(node.TimesOf(":0000000"), ElementsAre(50));
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(100));

  EXPECT_THAT(screen.Statuses(), ElementsAre("Accessing File", "Loading File", "Opening Port", "Erasing... Please Wait",
                                             "Programming", "Programming...", "Resetting"));
  std::vector<int> progress{0};  // a file under 100 bytes moves the bar once per byte
  for (int p = 0; p < static_cast<int>(content.size()); ++p) progress.push_back(p);
  EXPECT_EQ(screen.Progress(), progress);
  EXPECT_TRUE(screen.progressVisible);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Programming Complete");
  EXPECT_EQ(Boxes()[0].text, "Press OK to program another node.  When finished, press Exit and remove USB drive.");
  EXPECT_TRUE(screen.Questions().empty());
}

TEST_F(St10ProgrammerTest, ProgressCountsInHundredthsOfTheFile) {
  std::string content;
  while (content.size() < 1000) content += kDataLine + "\r\n";  // 1035 bytes: a step of 10
  EXPECT_TRUE(Program(content));
  std::vector<int> expected{0};
  for (int p = 0; p < 104; ++p) expected.push_back(p);
  EXPECT_EQ(screen.Progress(), expected);
}

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
  EXPECT_EQ(node.Texts().back(), "<Reset>");
  ASSERT_EQ(screen.Questions().size(), 1u);
  EXPECT_EQ(screen.Questions()[0].title, "ERROR!!!");
  EXPECT_EQ(screen.Questions()[0].text, kRetryQuestion);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Warning");
  EXPECT_EQ(Boxes()[0].text, kWarning);
  EXPECT_THAT(screen.Logs(), ::testing::Not(::testing::Contains(kRetryQuestion)));
  EXPECT_EQ(node.streamed, "");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, St10CommandWaitTest,
    ::testing::Values(
        WaitCase{"StartAfterSevenSeconds", "<Start>", {{7000, {0xD1, 0x01}}}, {0, 5000}, "<Erase>", {7000}},
        WaitCase{"StartNever", "<Start>", {}, {0, 5000, 10000}, "<Reset>", {10000}},
        WaitCase{"StartClearedOrUnknown", "<Start>",
                 {{100, {0xD1, 0x02}}, {200, {0xD1, 0x03}}, {3000, {0xD1, 0x01}}}, {0}, "<Erase>", {3000}},
        WaitCase{"StartClearedBeforeThePoll", "<Start>",
                 {{5, {0xD1, 0x01}}, {7, {0xD1, 0x02}}, {3000, {0xD1, 0x01}}}, {0}, "<Erase>", {3000}},
        WaitCase{"EraseAfterOneResend", "<Erase>", {{90000, {0xD2, 0x01}}}, {0, 60000}, "<Prog>", {90000}},
        WaitCase{"EraseNever", "<Erase>", {}, {0, 60000, 120000}, "<Prog>", {}},
        WaitCase{"ProgLateWithAnyQualifier", "<Prog>", {{5100, {0xD3, 0x7F}}}, {0}, ":0000000", {5100}},
        WaitCase{"ProgNever", "<Prog>", {}, {0}, "<Reset>", {5100}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(St10ProgrammerTest, FailedSendEndsTheStartWaitAtOnce) {
  screen.sendResult = false;
  node.commandReplies.clear();  // nothing reaches the node
  EXPECT_FALSE(Program(kEnd));
  EXPECT_THAT(node.TimesOf("<Start>"), ElementsAre(0));
}

// ---- The stream ----

TEST_F(St10ProgrammerTest, SilentNodeTimesOutWithTheLineCount) {
  node.lineReplies[2] = {};
  EXPECT_FALSE(Program(kAddressLine + "\r\n" + kEnd + kEnd));
  EXPECT_EQ(node.streamed, kAddressLine + "\n:00000001FF\n");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].title, "ERROR!!!");
  EXPECT_EQ(Boxes()[0].text, "Node timeout: line count = 2");
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(2001));
}

TEST_F(St10ProgrammerTest, LineAcceptedOnTheLastPollIsInTime) {
  node.lineReply = {{2001, {0xD4, 0x01}}};
  EXPECT_TRUE(Program(kEnd));
}

TEST_F(St10ProgrammerTest, NodeErrorStopsTheStreamWithItsText) {
  node.lineReplies[1] = {{3, {0x00, 0x40, 0x00, 0x01}}};
  EXPECT_FALSE(Program(kEnd + kEnd));
  EXPECT_EQ(node.streamed, ":00000001FF\n");
  EXPECT_EQ(Boxes().at(0).title, "ERROR!!!");
  EXPECT_EQ(Boxes()[0].text, "Checksum Error Line: 1");
  EXPECT_THAT(screen.Logs(), ::testing::Contains("Checksum Error Line: 1"));
}

TEST_F(St10ProgrammerTest, ErrorDuringStartDoesNotEndTheWaitButStopsTheStreamAtOnce) {
  node.commandReplies["<Start>"] = {{0, {0x00, 0x08}}, {600, {0xD1, 0x01}}};
  EXPECT_FALSE(Program(kEnd));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(600));
  EXPECT_EQ(node.streamed, "");
  EXPECT_EQ(Boxes().at(0).text, "Board Not Erased");
}

struct StreamCase {
  const char* name;
  Replies firstLineReplies;
  std::string content;
  std::string streamed;
};

class St10StreamEndTest : public St10ProgrammerTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(St10StreamEndTest, SucceedsAfterStreaming) {
  node.lineReplies[1] = GetParam().firstLineReplies;
  EXPECT_TRUE(Program(GetParam().content));
  EXPECT_EQ(node.streamed, GetParam().streamed);
  EXPECT_EQ(node.Texts().back(), "<Reset>");
  EXPECT_EQ(Boxes().back().title, "Programming Complete");
}

INSTANTIATE_TEST_SUITE_P(
    Files, St10StreamEndTest,
    ::testing::Values(StreamCase{"FinishedMidFile", {{10, {0xD5, 0x01}}}, kEnd + kEnd + kEnd, ":00000001FF\n"},
                      StreamCase{"FinishedWithAnotherQualifier", {{10, {0xD5, 0x02}}, {20, {0xD4, 0x01}}}, kEnd + kEnd,
                                 ":00000001FF\n:00000001FF\n"},
                      StreamCase{"WithoutFinalLineFeed", {{0, {0xD4, 0x01}}}, kEnd + ":0102", ":00000001FF\n"},
                      StreamCase{"Empty", {}, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Retries and files ----

TEST_F(St10ProgrammerTest, RetryOnYesStartsAgainAtTheFileWithTheFlagsForgotten) {
  node.ignoreFirst["<Prog>"] = 1;
  screen.answers = {true};
  EXPECT_TRUE(Program(kEnd));
  EXPECT_THAT(node.Texts(), ElementsAre("<Start>", "<Erase>", "<Prog>", "<Start>", "<Erase>", "<Prog>", ":0000000",
                                        "1FF\n", "<Reset>"));
  EXPECT_EQ(screen.Questions().size(), 1u);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Programming Complete");
  const std::vector<std::string> statuses = screen.Statuses();
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Accessing File"), 2);
}

TEST_F(St10ProgrammerTest, RetryForgetsTheErrorOfTheFailedAttempt) {
  node.lineReplies[1] = {{1, {0x00, 0x20, 0x00, 0x00, 0x01}}};
  node.lineReplies[2] = {{1, {0xD4, 0x01}}};
  screen.answers = {true};
  EXPECT_TRUE(Program(kEnd));
  EXPECT_EQ(node.streamed, ":00000001FF\n:00000001FF\n");
  EXPECT_EQ(Boxes()[0].text, "Readback Error Line: 1");
}

TEST_F(St10ProgrammerTest, MissingFileResetsTheNodeWithoutAsking) {
  EXPECT_FALSE(programmer.Program("P149.hex"));
  EXPECT_THAT(node.Texts(), ElementsAre("<Reset>"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Cannot open selected hex file.");
  EXPECT_TRUE(screen.Questions().empty());
  EXPECT_THAT(screen.Statuses(), ElementsAre("Accessing File", "Resetting"));
}

TEST_F(St10ProgrammerTest, FileGoneBeforeLoadingFailsTheLoad) {
  const std::string path = drives.WriteFile("e:/Pinecroft/P149.hex", kEnd);
  ASSERT_TRUE(programmer.AccessFile("P149.hex"));
  std::filesystem::remove(path);
  EXPECT_FALSE(programmer.LoadFile());
  EXPECT_EQ(Boxes().at(0).text, "Cannot open selected hex file.");
}

// ---- Replies ----

TEST_F(St10ProgrammerTest, OnlyAnAnnouncementWithItsSetQualifierMarksAnSt10Bootloader) {
  const std::vector<std::vector<uint8_t>> ignored{{0xD0, 0x00}, {0xD0, 0x02}, {0xD1, 0x03},
                                                  {0xD2, 0x00}, {0xD4, 0x02}, {0xD5, 0x00}};
  for (const std::vector<uint8_t>& data : ignored) {
    programmer.OnReply(Reply(data));
    EXPECT_FALSE(BootloaderAnnounced);
    EXPECT_EQ(programmer.ErrorText(), "") << static_cast<int>(data[0]);
  }
  EXPECT_EQ(BootloaderType, kNoBootloader);
  programmer.OnReply(Reply({0xD0, 0x01, '0', '1', '.', '0', '2'}));
  EXPECT_TRUE(BootloaderAnnounced);
  EXPECT_EQ(BootloaderType, kSt10Bootloader);
}

TEST_F(St10ProgrammerTest, ResetStateForgetsEveryFlagAndTheFirstError) {
  for (uint8_t code : {0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6}) programmer.OnReply(Reply({code, 1}));
  programmer.OnReply(Reply({0x00, 0x01}));
  programmer.OnReply(Reply({0x00, 0x02}));
  EXPECT_EQ(programmer.ErrorText(), "Old Board Number");
  programmer.ResetState();
  EXPECT_EQ(programmer.ErrorText(), "");
  node.commandReplies.clear();
  screen.sendResult = false;  // only flags still set could make a step succeed
  EXPECT_FALSE(programmer.SendStart());
  EXPECT_FALSE(programmer.SendErase());
  EXPECT_FALSE(programmer.SendProg());
  EXPECT_FALSE(programmer.SendReset());
  programmer.OnReply(Reply({0x00, 0x02}));
  EXPECT_EQ(programmer.ErrorText(), "Wrong Board Number");
}

struct ErrorCase {
  std::vector<uint8_t> data;
  std::string text;
};

class St10ErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(St10ErrorTextTest, ComposesTheOperatorsText) {
  St10Programmer programmer;
  programmer.OnReply(Reply(GetParam().data));
  EXPECT_EQ(programmer.ErrorText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, St10ErrorTextTest,
    ::testing::Values(
        ErrorCase{{0x00, 0x20, 0x00, 0x01, 0x05}, "Readback Error Line: 21"},  // "1" "5" read as 0x15
        ErrorCase{{0x00, 0x40, 0x01, 0x2C}, "Checksum Error Line: 300"},
        ErrorCase{{0x00, 0x80, 0x12, 0x34, 0x00, 0x01}, "Invalid Address Error: 0x011234"},
        ErrorCase{{0x00, 0x80, 0x12, 0x34}, "Invalid Address Error: 0x1234"},
        ErrorCase{{0x00, 0x80, 0x02, 0x04, 0x00, 0x00, 0x00, 0x00}, "Invalid Address Error: 0x0024"},
        ErrorCase{{0x00, 0x08}, "Board Not Erased"}, ErrorCase{{0x00, 0x04}, "Wrong Config Error"},
        ErrorCase{{0x02, 0x00}, "Wrong Field Assembly Error"},
        ErrorCase{{0x00, 0x10}, "Unknown Error, CAN Message: ID = 418320625, Length = 2, Data = 0 16 0 0 0 0 0 0"},
        ErrorCase{{0xD7, 0x01, 1, 2, 3, 4, 5, 255},
                  "Unknown Error, CAN Message: ID = 418320625, Length = 8, Data = 215 1 1 2 3 4 5 255"},
        ErrorCase{{}, "Unknown Error, CAN Message: ID = 418320625, Length = 0, Data = 0 0 0 0 0 0 0 0"}));

// ---- Replies from other threads, on the real clock: the flags and the error text must cross threads cleanly
// (run under ThreadSanitizer) ----

TEST_F(St10ProgrammerTest, StreamAndErrorTextSeeRepliesFromOtherThreads) {
  SteadyClock steady;
  ScopedClock useSteady(steady);
  node.answerOnThreads = true;
  node.lineReplies[15] = {{0, {0x00, 0x40, 0x01, 0x2C}}};
  std::string content;
  for (int line = 0; line < 20; ++line) content += kEnd;
  EXPECT_FALSE(Program(content));
  EXPECT_EQ(node.streamed.size(), 15 * std::string(":00000001FF\n").size());
  EXPECT_EQ(Boxes().at(0).text, "Checksum Error Line: 300");
  EXPECT_EQ(Boxes().back().text, kWarning);
}

}  // namespace
