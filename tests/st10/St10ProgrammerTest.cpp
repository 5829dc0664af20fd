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
using ::testing::ElementsAreArray;

const std::string kAddressLine = ":020000040000FA";                           // 15 characters
const std::string kDataLine = ":10000000000102030405060708090A0B0C0D0E0F78";  // 43 characters
const std::string kEndLine = ":00000001FF";
const char kRetryQuestion[] =
    "An error occurred during programming, check your CAN connections. \nWould you like to try again?";

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

TEST_F(St10ProgrammerTest, ProgramsANodeFrameByFrame) {
  node.lineReply = {{50, {0xD4, 0x01}}};
  EXPECT_TRUE(Program(kAddressLine + "\r\n" + kDataLine + "\r\n" + kEndLine + "\r\n"));

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
  // A line ending in a full frame is not waited for; one ending short is.
  EXPECT_THAT(node.TimesOf("F78\n"), ElementsAre(0));
  EXPECT_THAT(node.TimesOf(":0000000"), ElementsAre(50));
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(100));

  EXPECT_THAT(screen.Statuses(), ElementsAre("Accessing File", "Loading File", "Opening Port", "Erasing... Please Wait",
                                             "Programming", "Programming...", "Resetting"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Programming Complete");
  EXPECT_EQ(Boxes()[0].text, "Press OK to program another node.  When finished, press Exit and remove USB drive.");
  EXPECT_TRUE(screen.Questions().empty());
  EXPECT_TRUE(screen.progressVisible);
}

TEST_F(St10ProgrammerTest, ProgressCountsFromZeroInHundredthsOfTheFile) {
  std::string content;
  while (content.size() < 1000) content += kDataLine + "\r\n";  // 1035 bytes: a step of 10
  EXPECT_TRUE(Program(content));
  std::vector<int> expected{0};  // Program's own reset of the bar
  for (int p = 0; p < 104; ++p) expected.push_back(p);
  EXPECT_EQ(screen.Progress(), expected);
}

TEST_F(St10ProgrammerTest, ProgressStepsEveryByteOfAShortFile) {
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(screen.Progress(), ElementsAre(0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12));
}

TEST_F(St10ProgrammerTest, ResendsStartUntilAnsweredAfterSevenSeconds) {
  node.commandReplies["<Start>"] = {{7000, {0xD1, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Start>"), ElementsAre(0, 5000));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(7000));
}

TEST_F(St10ProgrammerTest, StartNeverAnsweredAsksAndResetsOnNo) {
  node.commandReplies.erase("<Start>");
  EXPECT_FALSE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Start>"), ElementsAre(0, 5000, 10000));
  EXPECT_THAT(node.Texts(), ElementsAre("<Start>", "<Start>", "<Start>", "<Reset>"));
  ASSERT_EQ(screen.Questions().size(), 1u);
  EXPECT_EQ(screen.Questions()[0].title, "ERROR!!!");
  EXPECT_EQ(screen.Questions()[0].text, kRetryQuestion);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Warning");
  EXPECT_EQ(Boxes()[0].text, "Programming was not successful, node may not be usable. Contact Alder for support.");
  // The question is the operator's, not the log's.
  EXPECT_THAT(screen.Logs(), ::testing::Not(::testing::Contains(kRetryQuestion)));
}

TEST_F(St10ProgrammerTest, StartClearedOrUnknownQualifiersKeepTheWaitGoing) {
  node.commandReplies["<Start>"] = {{100, {0xD1, 0x02}}, {200, {0xD1, 0x03}}, {3000, {0xD1, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Start>"), ElementsAre(0));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(3000));
}

TEST_F(St10ProgrammerTest, StartClearedBeforeThePollWaitsForTheNextSet) {
  node.commandReplies["<Start>"] = {{5, {0xD1, 0x01}}, {7, {0xD1, 0x02}}, {3000, {0xD1, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(3000));
}

TEST_F(St10ProgrammerTest, EraseIsResentEveryMinuteAndGivenUpAfterTwo) {
  node.commandReplies.erase("<Erase>");
  EXPECT_FALSE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(0, 60000, 120000));
  EXPECT_THAT(node.TimesOf("<Prog>"), ElementsAre());
  EXPECT_EQ(screen.Questions().size(), 1u);
}

TEST_F(St10ProgrammerTest, SlowEraseSucceedsAfterOneResend) {
  node.commandReplies["<Erase>"] = {{90000, {0xD2, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(0, 60000));
  EXPECT_THAT(node.TimesOf("<Prog>"), ElementsAre(90000));
}

TEST_F(St10ProgrammerTest, ProgWaitsFiftyOnePollsThenAsks) {
  node.commandReplies.erase("<Prog>");
  EXPECT_FALSE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Prog>"), ElementsAre(0));
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(5100));
  EXPECT_EQ(screen.Questions().size(), 1u);
  EXPECT_EQ(node.streamed, "");
}

TEST_F(St10ProgrammerTest, ProgAcceptsAnyQualifierAndALateAnswer) {
  node.commandReplies["<Prog>"] = {{5100, {0xD3, 0x7F}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kEndLine + "\n");
}

TEST_F(St10ProgrammerTest, SilentNodeTimesOutWithTheLineCount) {
  node.lineReplies[2] = {};
  EXPECT_FALSE(Program(kAddressLine + "\r\n" + kEndLine + "\r\n" + kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kAddressLine + "\n" + kEndLine + "\n");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].title, "ERROR!!!");
  EXPECT_EQ(Boxes()[0].text, "Node timeout: line count = 2");
  EXPECT_EQ(Boxes()[1].title, "Warning");
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(2001));
  EXPECT_EQ(screen.Questions().size(), 1u);
}

TEST_F(St10ProgrammerTest, LineAcceptedOnTheLastPollIsInTime) {
  node.lineReply = {{2001, {0xD4, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Reset>"), ElementsAre(2001));
}

TEST_F(St10ProgrammerTest, NodeErrorStopsTheStreamWithItsText) {
  node.lineReplies[1] = {{3, {0x00, 0x40, 0x00, 0x01}}};
  EXPECT_FALSE(Program(kEndLine + "\r\n" + kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kEndLine + "\n");
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes()[0].title, "ERROR!!!");
  EXPECT_EQ(Boxes()[0].text, "Checksum Error Line: 1");
  EXPECT_THAT(screen.Logs(), ::testing::Contains("Checksum Error Line: 1"));
}

TEST_F(St10ProgrammerTest, ErrorDuringStartDoesNotEndTheWaitButStopsTheStreamAtOnce) {
  node.commandReplies["<Start>"] = {{0, {0x00, 0x08}}, {600, {0xD1, 0x01}}};
  EXPECT_FALSE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Erase>"), ElementsAre(600));
  EXPECT_EQ(node.streamed, "");  // stopped after the first byte, before any frame
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes()[0].text, "Board Not Erased");
}

TEST_F(St10ProgrammerTest, FinishedMidFileEndsTheStreamWithSuccess) {
  node.lineReplies[1] = {{10, {0xD5, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n" + kEndLine + "\r\n" + kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kEndLine + "\n");
  EXPECT_EQ(node.Texts().back(), "<Reset>");
  EXPECT_EQ(Boxes().back().title, "Programming Complete");
}

TEST_F(St10ProgrammerTest, FinishedWithAnotherQualifierIsIgnored) {
  node.lineReplies[1] = {{10, {0xD5, 0x02}}, {20, {0xD4, 0x01}}};
  EXPECT_TRUE(Program(kEndLine + "\r\n" + kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kEndLine + "\n" + kEndLine + "\n");
}

TEST_F(St10ProgrammerTest, TextAfterTheLastLineFeedIsNotSent) {
  EXPECT_TRUE(Program(kEndLine + "\r\n:0102"));
  EXPECT_EQ(node.streamed, kEndLine + "\n");
}

TEST_F(St10ProgrammerTest, EmptyFileStreamsNothingAndSucceeds) {
  EXPECT_TRUE(Program(""));
  EXPECT_THAT(node.Texts(), ElementsAre("<Start>", "<Erase>", "<Prog>", "<Reset>"));
  EXPECT_EQ(Boxes().back().title, "Programming Complete");
}

TEST_F(St10ProgrammerTest, RetryOnYesStartsAgainAtTheFile) {
  node.ignoreFirst["<Prog>"] = 1;
  screen.answers = {true};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.Texts(), ElementsAre("<Start>", "<Erase>", "<Prog>", "<Start>", "<Erase>", "<Prog>", ":0000000",
                                        "1FF\n", "<Reset>"));
  EXPECT_EQ(screen.Questions().size(), 1u);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Programming Complete");
  const std::vector<std::string> statuses = screen.Statuses();
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Accessing File"), 2);
}

TEST_F(St10ProgrammerTest, RetryForgetsTheFlagsOfTheFailedAttempt) {
  // The first attempt's error must not stop the second one's stream.
  node.lineReplies[1] = {{1, {0x00, 0x20, 0x00, 0x00, 0x01}}};
  node.lineReplies[2] = {{1, {0xD4, 0x01}}};
  screen.answers = {true};
  EXPECT_TRUE(Program(kEndLine + "\r\n"));
  EXPECT_EQ(node.streamed, kEndLine + "\n" + kEndLine + "\n");
  EXPECT_EQ(Boxes()[0].text, "Readback Error Line: 1");
}

TEST_F(St10ProgrammerTest, MissingFileResetsTheNodeWithoutAsking) {
  EXPECT_FALSE(programmer.Program("P149.hex"));
  EXPECT_THAT(node.Texts(), ElementsAre("<Reset>"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "ERROR!!!");
  EXPECT_EQ(Boxes()[0].text, "Cannot open selected hex file.");
  EXPECT_TRUE(screen.Questions().empty());
  EXPECT_THAT(screen.Statuses(), ElementsAre("Accessing File", "Resetting"));
}

TEST_F(St10ProgrammerTest, FileGoneBeforeLoadingFailsTheLoad) {
  const std::string path = drives.WriteFile("e:/Pinecroft/P149.hex", kEndLine + "\r\n");
  ASSERT_TRUE(programmer.AccessFile("P149.hex"));
  std::filesystem::remove(path);
  EXPECT_FALSE(programmer.LoadFile());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Cannot open selected hex file.");
}

TEST_F(St10ProgrammerTest, FailedSendEndsTheStartWaitAtOnce) {
  screen.sendResult = false;
  node.commandReplies.clear();  // nothing reaches the node
  EXPECT_FALSE(Program(kEndLine + "\r\n"));
  EXPECT_THAT(node.TimesOf("<Start>"), ElementsAre(0));
  EXPECT_EQ(screen.Questions().size(), 1u);
}

TEST_F(St10ProgrammerTest, AnnouncementMarksAnSt10Bootloader) {
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 7, {0xD0, 0x02, '0', '1', '.', '0', '2'}});
  EXPECT_FALSE(BootloaderAnnounced);
  EXPECT_EQ(BootloaderType, kNoBootloader);
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 7, {0xD0, 0x01, '0', '1', '.', '0', '2'}});
  EXPECT_TRUE(BootloaderAnnounced);
  EXPECT_EQ(BootloaderType, kSt10Bootloader);
  EXPECT_EQ(programmer.ErrorText(), "");
}

TEST_F(St10ProgrammerTest, ResetStateForgetsEveryFlagAndTheError) {
  for (uint8_t code : {0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6})
    programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {code, 1}});
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {0x00, 0x01}});
  programmer.ResetState();
  EXPECT_EQ(programmer.ErrorText(), "");
  node.commandReplies.clear();
  node.lineReply.clear();
  screen.sendResult = false;  // only flags still set could make a step succeed
  EXPECT_FALSE(programmer.SendStart());
  EXPECT_FALSE(programmer.SendErase());
  EXPECT_FALSE(programmer.SendProg());
  EXPECT_FALSE(programmer.SendReset());
}

TEST_F(St10ProgrammerTest, FirstErrorTextStaysUntilReset) {
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {0x00, 0x01}});
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {0x00, 0x02}});
  EXPECT_EQ(programmer.ErrorText(), "Old Board Number");
  programmer.ResetState();
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {0x00, 0x02}});
  EXPECT_EQ(programmer.ErrorText(), "Wrong Board Number");
}

struct ErrorCase {
  std::vector<uint8_t> data;
  std::string text;
};

class St10ErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(St10ErrorTextTest, ComposesTheOperatorsText) {
  St10Programmer programmer;
  CanMessage reply{kSt10ReplyIdentifier, 0, static_cast<uint8_t>(GetParam().data.size()), {}};
  std::copy(GetParam().data.begin(), GetParam().data.end(), reply.data);
  programmer.OnReply(reply);
  EXPECT_EQ(programmer.ErrorText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, St10ErrorTextTest,
    ::testing::Values(
        ErrorCase{{0x00, 0x20, 0xEE, 0x00, 0x15}, "Readback Error Line: 21"},
        ErrorCase{{0x00, 0x20, 0x00, 0x01, 0x05}, "Readback Error Line: 21"},  // "1" "5" read as 0x15
        ErrorCase{{0x00, 0x40, 0x01, 0x2C}, "Checksum Error Line: 300"},
        ErrorCase{{0x00, 0x40, 0xFF, 0xFF}, "Checksum Error Line: 65535"},
        ErrorCase{{0x00, 0x40, 0x00, 0x00}, "Checksum Error Line: 0"},
        ErrorCase{{0x00, 0x80, 0x12, 0x34, 0x00, 0x01}, "Invalid Address Error: 0x011234"},
        ErrorCase{{0x00, 0x80, 0x12, 0x34}, "Invalid Address Error: 0x1234"},
        ErrorCase{{0x00, 0x80, 0x12, 0x34, 0x0A}, "Invalid Address Error: 0xA01234"},
        ErrorCase{{0x00, 0x80, 0x02, 0x04, 0x00, 0x00, 0x00, 0x00}, "Invalid Address Error: 0x0024"},
        ErrorCase{{0x00, 0x08}, "Board Not Erased"}, ErrorCase{{0x00, 0x01}, "Old Board Number"},
        ErrorCase{{0x00, 0x02}, "Wrong Board Number"}, ErrorCase{{0x00, 0x04}, "Wrong Config Error"},
        ErrorCase{{0x01, 0x00}, "Old Field Assembly Error"}, ErrorCase{{0x02, 0x00}, "Wrong Field Assembly Error"},
        ErrorCase{{0x00, 0x10}, "Unknown Error, CAN Message: ID = 418320625, Length = 2, Data = 0 16 0 0 0 0 0 0"},
        ErrorCase{{0x01, 0x01, 1, 2, 3, 4, 5, 255},
                  "Unknown Error, CAN Message: ID = 418320625, Length = 8, Data = 1 1 1 2 3 4 5 255"},
        ErrorCase{{0xD7, 0x01}, "Unknown Error, CAN Message: ID = 418320625, Length = 2, Data = 215 1 0 0 0 0 0 0"},
        ErrorCase{{}, "Unknown Error, CAN Message: ID = 418320625, Length = 0, Data = 0 0 0 0 0 0 0 0"}));

class St10IgnoredReplyTest : public ::testing::TestWithParam<std::vector<uint8_t>> {};

TEST_P(St10IgnoredReplyTest, IsNeitherAnErrorNorAnAnnouncement) {
  BootloaderAnnounced = false;
  St10Programmer programmer;
  programmer.OnReply(CanMessage{kSt10ReplyIdentifier, 0, 2, {GetParam()[0], GetParam()[1]}});
  EXPECT_EQ(programmer.ErrorText(), "");
  EXPECT_FALSE(BootloaderAnnounced);
}

INSTANTIATE_TEST_SUITE_P(Table, St10IgnoredReplyTest,
                         ::testing::Values(std::vector<uint8_t>{0xD0, 0x00}, std::vector<uint8_t>{0xD1, 0x03},
                                           std::vector<uint8_t>{0xD2, 0x00}, std::vector<uint8_t>{0xD4, 0x02},
                                           std::vector<uint8_t>{0xD5, 0x00}));

}  // namespace
