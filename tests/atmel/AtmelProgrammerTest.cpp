#include "atmel/AtmelProgrammer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>

#include "FakeAtmelNode.h"
#include "FakeScreen.h"
#include "TempDosDevices.h"
#include "can/ProgramState.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Node = FakeAtmelNode;

const char kFile[] = "P300_1.hex";
const char kQuestion[] =
    "An error occurred during programming, check all your connections to node. \nWould you like to try again?";
const char kComplete[] = "Press OK to program another node.  When finished, press Exit and remove USB drive.";
const char kWarning[] = "Programming was not successful, node may not be usable. Contact Alder for support.";

// Intel HEX text of bytes from address 0, 16 bytes a record, with an end record.
std::string HexText(const Bytes& bytes) {
  std::string text;
  char field[16];
  for (size_t at = 0; at < bytes.size(); at += 16) {
    const size_t count = std::min<size_t>(16, bytes.size() - at);
    uint8_t sum = static_cast<uint8_t>(count + (at >> 8) + (at & 0xFF));
    std::snprintf(field, sizeof field, ":%02X%04X00", static_cast<unsigned>(count), static_cast<unsigned>(at));
    text += field;
    for (size_t i = at; i < at + count; ++i) {
      std::snprintf(field, sizeof field, "%02X", bytes[i]);
      text += field;
      sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    std::snprintf(field, sizeof field, "%02X\r\n", static_cast<uint8_t>(0x100 - sum));
    text += field;
  }
  return text + ":00000001FF\r\n";
}

Bytes DataOf(const CanMessage& message) { return Bytes(message.data, message.data + message.length); }

std::string KindOf(const CanMessage& message) {
  switch (message.identifier) {
    case 0:
      return "open";
    case 1:
      return "range";
    case 2:
      return "data";
    case 3:
      return message.data[0] == 0x01 ? "blank" : "verify";
    case 4:
      return message.data[0] == 0x00 ? "erase" : message.data[0] == 0x01 ? "close" : "reset";
    case 5:
      return "regs";
  }
  return "?";
}

class AtmelProgrammerTest : public ::testing::Test {
 public:
  AtmelProgrammerTest() { BootloaderType = kNoBootloader; }

  // A hex file of random bytes whose image ends at end.
  void WriteHexFile(size_t end) {
    std::mt19937 random(static_cast<uint32_t>(end));
    contents.resize(end);
    for (uint8_t& b : contents) b = static_cast<uint8_t>(random());
    drives.WriteFile(std::string("e:/Pinecroft/") + kFile, HexText(contents));
  }

  bool Run(bool openPort = true) { return programmer.Program(kFile, openPort); }

  // The frames sent, by kind, runs folded: "open regs erase data x3 reset".
  std::string Script() const {
    std::string script;
    for (size_t i = 0; i < node.frames.size();) {
      const std::string kind = KindOf(node.frames[i].message);
      size_t run = 1;
      while (i + run < node.frames.size() && KindOf(node.frames[i + run].message) == kind) ++run;
      script += (script.empty() ? "" : " ") + kind + (run > 1 ? " x" + std::to_string(run) : "");
      i += run;
    }
    return script;
  }

  std::vector<Node::Frame> FramesOf(const std::string& kind) const {
    std::vector<Node::Frame> found;
    for (const Node::Frame& frame : node.frames)
      if (KindOf(frame.message) == kind) found.push_back(frame);
    return found;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const FakeScreen::Box& box : screen.Messages()) texts.push_back(box.text);
    return texts;
  }

  void ExpectDeclinedRetry() const {
    ASSERT_EQ(screen.Questions().size(), 1u);
    EXPECT_EQ(screen.Questions()[0].title, "ERROR!!!");
    EXPECT_EQ(screen.Questions()[0].text, kQuestion);
    ASSERT_FALSE(screen.Messages().empty());
    EXPECT_EQ(screen.Messages().back().title, "Warning");
    EXPECT_EQ(screen.Messages().back().text, kWarning);
    EXPECT_EQ(KindOf(node.frames.back().message), "reset");
  }

  void ExpectFlashHoldsTheImage() const {
    for (size_t k = 0; k < node.flash.size(); ++k)
      ASSERT_EQ(node.flash[k], k < contents.size() ? contents[k] : 0xFF) << "address " << k;
  }

  VirtualClock clock;
  ScopedClock useClock{clock};
  TempDosDevices drives;
  FakeScreen screen;
  AtmelProgrammer programmer;
  FakeAtmelNode node{screen, programmer, clock};
  Bytes contents;
};

// ---- Whole runs that succeed ----

class AtmelImageEndTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(AtmelImageEndTest, ProgramsVerifiesAndResetsTheNode) {
  const size_t end = GetParam();
  const size_t windows = (end + 7) / 8;
  WriteHexFile(end);
  ASSERT_TRUE(Run());

  ExpectFlashHoldsTheImage();
  const std::string dataRun = windows > 1 ? " x" + std::to_string(windows) : "";
  EXPECT_EQ(Script(), "open regs erase blank range data" + dataRun + " close verify" + dataRun + " reset");
  const uint16_t last = static_cast<uint16_t>(end - 1);
  EXPECT_EQ(DataOf(FramesOf("range")[0].message), (Bytes{0, 0, 0, static_cast<uint8_t>(last >> 8),
                                                         static_cast<uint8_t>(last & 0xFF)}));
  EXPECT_EQ(FramesOf("data").back().message.length, end % 8 ? end % 8 : 8);
  const uint16_t lastWindow = static_cast<uint16_t>(8 * (windows - 1));
  const uint16_t lastByte = static_cast<uint16_t>(lastWindow + 7);
  EXPECT_EQ(DataOf(FramesOf("verify").back().message),
            (Bytes{0, static_cast<uint8_t>(lastWindow >> 8), static_cast<uint8_t>(lastWindow & 0xFF),
                   static_cast<uint8_t>(lastByte >> 8), static_cast<uint8_t>(lastByte & 0xFF)}));
  ASSERT_EQ(screen.Messages().size(), 1u);
  EXPECT_EQ(screen.Messages()[0].title, "Programming Complete");
  EXPECT_EQ(screen.Messages()[0].text, kComplete);
  EXPECT_TRUE(screen.Questions().empty());
}

INSTANTIATE_TEST_SUITE_P(Ends, AtmelImageEndTest, ::testing::Values(0x2003, 0x2000, 1, 5, 8, 0x8000));

TEST_F(AtmelProgrammerTest, ImageEnding0x2003SendsTheLastThreeBytesInAShortFrame) {
  WriteHexFile(0x2003);
  ASSERT_TRUE(Run());
  EXPECT_EQ(DataOf(FramesOf("range")[0].message), (Bytes{0x00, 0x00, 0x00, 0x20, 0x02}));
  const auto data = FramesOf("data");
  ASSERT_EQ(data.size(), 1025u);
  EXPECT_EQ(DataOf(data.back().message), (Bytes{contents[0x2000], contents[0x2001], contents[0x2002]}));
  EXPECT_EQ(data.back().message.data[3], 0xFF);  // the frame still carries the erased bytes after the end
  const auto verify = FramesOf("verify");
  ASSERT_EQ(verify.size(), 1025u);
  EXPECT_EQ(DataOf(verify.back().message), (Bytes{0x00, 0x20, 0x00, 0x20, 0x07}));
  EXPECT_EQ(DataOf(verify[1].message), (Bytes{0x00, 0x00, 0x08, 0x00, 0x0F}));
}

TEST_F(AtmelProgrammerTest, EveryFrameIsStandardWithItsCommandBytes) {
  WriteHexFile(16);
  ASSERT_TRUE(Run());
  const std::map<std::string, Bytes> expected{
      {"open", {0xFF}},         {"regs", {0x00, 0x00}},       {"erase", {0x00, 0xFF}},
      {"blank", {0x01, 0x00, 0x00, 0x7F, 0xFF}}, {"close", {0x01, 0x00, 0x00}}, {"reset", {0x03, 0x00}}};
  for (const auto& [kind, bytes] : expected) EXPECT_EQ(DataOf(FramesOf(kind).at(0).message), bytes) << kind;
  for (const Node::Frame& frame : node.frames) EXPECT_EQ(frame.message.flags & CanMessage::kExtendedFlag, 0);
}

TEST_F(AtmelProgrammerTest, ShowsEachStepAndCountsProgressFromZeroInBothPasses) {
  WriteHexFile(0x2003);
  ASSERT_TRUE(Run());
  EXPECT_EQ(screen.Statuses(), (std::vector<std::string>{"Sorting", "Opening Port", "Reading Registers", "Erasing",
                                                         "Blank Check", "Set Address", "Programming", "Verifying",
                                                         "Resetting"}));
  EXPECT_TRUE(screen.progressVisible);
  std::vector<int> expected{0};
  for (int pass = 0; pass < 2; ++pass)
    for (int p = 0; p <= 101; ++p) expected.push_back(p);  // every 10th of 1024 frames and of 1025 windows
  EXPECT_EQ(screen.Progress(), expected);
}

TEST_F(AtmelProgrammerTest, SmallImageMovesTheProgressOncePerFrame) {
  WriteHexFile(40);
  ASSERT_TRUE(Run());
  EXPECT_EQ(screen.Progress(), (std::vector<int>{0, 0, 1, 2, 3, 4, 0, 1, 2, 3, 4}));
}

TEST_F(AtmelProgrammerTest, DataFramesFollowEachOtherTenMillisecondsApart) {
  WriteHexFile(64);
  ASSERT_TRUE(Run());
  const auto data = FramesOf("data");
  for (size_t i = 1; i < data.size(); ++i) EXPECT_EQ(data[i].at - data[i - 1].at, 10u);
}

TEST_F(AtmelProgrammerTest, ResetFrameFollowsTwoSecondsAfterTheStatus) {
  WriteHexFile(8);
  ASSERT_TRUE(Run());
  const auto& frames = node.frames;
  EXPECT_EQ(frames.back().at - frames[frames.size() - 2].at, 2000u);  // after the last verify window
}

TEST_F(AtmelProgrammerTest, RetryRunStartsAtEraseWithoutOpeningThePort) {
  WriteHexFile(24);
  ASSERT_TRUE(Run(false));
  EXPECT_EQ(Script(), "erase blank range data x3 close verify x3 reset");
  ExpectFlashHoldsTheImage();
}

TEST_F(AtmelProgrammerTest, DoneReplyToTheLastWholeFrameEndsProgrammingWithoutAnotherFrame) {
  WriteHexFile(0x2000);
  ASSERT_TRUE(Run());
  EXPECT_EQ(FramesOf("data").size(), 0x400u);
  EXPECT_EQ(FramesOf("data").back().message.data[0], contents[0x1FF8]);
}

// ---- Opening the port ----

TEST_F(AtmelProgrammerTest, ClosedPortGetsOneOpenFrameAfterAHundredMilliseconds) {
  WriteHexFile(8);
  ASSERT_TRUE(Run());
  const auto open = FramesOf("open");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].at, 100u);
}

TEST_F(AtmelProgrammerTest, DetectionReplyMarksTheAtmelBootloaderAndOpensAtOnce) {
  WriteHexFile(8);
  programmer.OnReply(CanMessage{.identifier = 0, .length = 2, .data = {0x00, 0x01}});
  EXPECT_EQ(BootloaderType, kAtmelBootloader);
  ASSERT_TRUE(Run());
  const auto open = FramesOf("open");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].at, 0u);
}

TEST_F(AtmelProgrammerTest, PortClosedByTheReplyGetsASecondOpenFrame) {
  WriteHexFile(8);
  programmer.OnReply(CanMessage{.identifier = 0, .length = 2, .data = {0x00, 0x01}});
  node.openAnswers = {0x00};
  ASSERT_TRUE(Run());
  const auto open = FramesOf("open");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[0].at, 0u);
  EXPECT_EQ(open[1].at, 100u);
}

TEST_F(AtmelProgrammerTest, OtherPortStatesAreIgnored) {
  WriteHexFile(8);
  node.openAnswers = {0x02};
  EXPECT_FALSE(Run());
  EXPECT_EQ(BootloaderType, kNoBootloader);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Failed at OpenPort()."});
}

// ---- Runs that end before erasing: no question, only the reset ----

struct NotStartedCase {
  const char* name;
  std::function<void(AtmelProgrammerTest&)> arrange;
  std::vector<std::string> boxes;
};

class AtmelNotStartedTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<NotStartedCase> {};

TEST_P(AtmelNotStartedTest, SendsOpenAndRegistersThenResetsTheNode) {
  GetParam().arrange(*this);
  EXPECT_FALSE(Run());
  EXPECT_EQ(Script(), "open regs reset");
  EXPECT_EQ(BoxTexts(), GetParam().boxes);
  EXPECT_TRUE(screen.Questions().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AtmelNotStartedTest,
    ::testing::Values(
        NotStartedCase{"MissingFile", [](AtmelProgrammerTest&) {},
                       {"Cannot open selected hex file.", "Cannot read from selected hex file."}},
        NotStartedCase{"BadChecksum",
                       [](AtmelProgrammerTest& t) {
                         t.drives.WriteFile("e:/Pinecroft/P300_1.hex", ":0300300002337A1F\r\n:00000001FF\r\n");
                       },
                       {"Encounter invalid checksum in hex file."}},
        NotStartedCase{"CutFile",
                       [](AtmelProgrammerTest& t) {
                         t.drives.WriteFile("e:/Pinecroft/P300_1.hex", ":0300300002337A1E\r\n");
                       },
                       {"Cannot read from selected hex file."}},
        NotStartedCase{"DataOutsideMemory",
                       [](AtmelProgrammerTest& t) {
                         t.drives.WriteFile("e:/Pinecroft/P300_1.hex", ":01800000116E\r\n:00000001FF\r\n");
                       },
                       {"Hex file data lies outside the node's 32 KB memory."}},
        NotStartedCase{"PortNeverOpens",
                       [](AtmelProgrammerTest& t) {
                         t.WriteHexFile(8);
                         t.node.delayMs[Node::kOpen] = Node::kSilent;
                       },
                       {"Failed at OpenPort()."}},
        NotStartedCase{"NoRegisters",
                       [](AtmelProgrammerTest& t) {
                         t.WriteHexFile(8);
                         t.node.delayMs[Node::kRegisters] = Node::kSilent;
                       },
                       {"Failed at ReadRegisters()."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AtmelProgrammerTest, UnreadableFileWithThePortSwitchOffOnlyResets) {
  EXPECT_FALSE(Run(false));
  EXPECT_EQ(Script(), "reset");
}

TEST_F(AtmelProgrammerTest, RegistersReplyLaterThanAHundredMillisecondsIsTooLate) {
  WriteHexFile(8);
  node.delayMs[Node::kRegisters] = 101;
  EXPECT_FALSE(Run());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Failed at ReadRegisters()."});
}

// ---- Failures after erasing began: the retry question ----

struct FailureCase {
  const char* name;
  std::function<void(FakeAtmelNode&)> arrange;
  const char* script;
  std::vector<std::string> boxes;
};

class AtmelStepFailureTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AtmelStepFailureTest, AsksToRetryAndWarnsWhenDeclined) {
  WriteHexFile(32);
  GetParam().arrange(node);
  EXPECT_FALSE(Run());
  EXPECT_EQ(Script(), GetParam().script);
  EXPECT_EQ(BoxTexts(), GetParam().boxes);
  ExpectDeclinedRetry();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AtmelStepFailureTest,
    ::testing::Values(
        FailureCase{"EraseSilent", [](Node& n) { n.delayMs[Node::kErase] = Node::kSilent; },
                    "open regs erase reset", {"Failed at EraseMemory().", kWarning}},
        FailureCase{"NotBlank", [](Node& n) { n.blankAnswerLength = 5; }, "open regs erase blank reset",
                    {"Failed at BlankCheck().", kWarning}},
        FailureCase{"RangeSilent", [](Node& n) { n.delayMs[Node::kRange] = Node::kSilent; },
                    "open regs erase blank range reset", {"Failed at SetAddressRange().", kWarning}},
        FailureCase{"DataAcksStop", [](Node& n) { n.dataAcks = 2; }, "open regs erase blank range data x3 reset",
                    {kWarning}},
        FailureCase{"NeverDone", [](Node& n) { n.reportsDone = false; },
                    "open regs erase blank range data x4 reset", {kWarning}},
        FailureCase{"VerifySilent", [](Node& n) { n.delayMs[Node::kVerify] = Node::kSilent; },
                    "open regs erase blank range data x4 close verify reset", {kWarning}}),
    [](const auto& info) { return std::string(info.param.name); });

// How long each awaited step waits: an answer at the limit still counts, one
// a millisecond later does not.
struct LimitCase {
  const char* name;
  Node::Command command;
  int limitMs;
};

class AtmelWaitLimitTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(AtmelWaitLimitTest, AnswerAtTheLimitCounts) {
  WriteHexFile(16);
  node.delayMs[GetParam().command] = GetParam().limitMs;
  EXPECT_TRUE(Run());
}

TEST_P(AtmelWaitLimitTest, AnswerAfterTheLimitFails) {
  WriteHexFile(16);
  node.delayMs[GetParam().command] = GetParam().limitMs + 1;
  EXPECT_FALSE(Run());
  EXPECT_EQ(screen.Questions().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Steps, AtmelWaitLimitTest,
                         ::testing::Values(LimitCase{"Erase", Node::kErase, 601 * 100},
                                           LimitCase{"Blank", Node::kBlank, 201 * 100},
                                           LimitCase{"Range", Node::kRange, 201 * 100},
                                           LimitCase{"Data", Node::kData, 10 + 1001 * 5},
                                           LimitCase{"Verify", Node::kVerify, 1001 * 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AtmelProgrammerTest, EndRecordOnlyFileAnnouncesTheWholeRangeAndWaitsForDoneInVain) {
  drives.WriteFile("e:/Pinecroft/P300_1.hex", ":00000001FF\r\n");
  EXPECT_FALSE(Run(false));
  EXPECT_EQ(Script(), "erase blank range reset");
  EXPECT_EQ(DataOf(FramesOf("range")[0].message), (Bytes{0x00, 0x00, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(FramesOf("reset")[0].at - FramesOf("range")[0].at, 1001u * 5 + 2000);
  ExpectDeclinedRetry();
}

// ---- Retries ----

TEST_F(AtmelProgrammerTest, AcceptedRetryParsesAgainAndStartsAtErase) {
  WriteHexFile(24);
  node.ignoreFirst[Node::kErase] = 1;
  screen.answers = {true};
  EXPECT_TRUE(Run());
  EXPECT_EQ(Script(), "open regs erase x2 blank range data x3 close verify x3 reset");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Failed at EraseMemory().", kComplete}));
  const auto statuses = screen.Statuses();
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Sorting"), 2);
  ExpectFlashHoldsTheImage();
}

TEST_F(AtmelProgrammerTest, RetryAfterLostAcknowledgementWritesTheWholeImageAgain) {
  WriteHexFile(40);
  node.ignoreFirst[Node::kData] = 1;
  screen.answers = {true};
  EXPECT_TRUE(Run());
  EXPECT_EQ(Script(), "open regs erase blank range data erase blank range data x5 close verify x5 reset");
  ExpectFlashHoldsTheImage();
}

TEST_F(AtmelProgrammerTest, RetriesUntilTheOperatorGivesUp) {
  WriteHexFile(8);
  node.delayMs[Node::kErase] = Node::kSilent;
  screen.answers = {true, true, false};
  EXPECT_FALSE(Run());
  EXPECT_EQ(screen.Questions().size(), 3u);
  EXPECT_EQ(Script(), "open regs erase x3 reset");
  EXPECT_EQ(screen.Messages().back().text, kWarning);
}

TEST_F(AtmelProgrammerTest, SecondRetryThatSucceedsMakesTheRunSucceed) {
  WriteHexFile(8);
  node.ignoreFirst[Node::kRange] = 2;
  screen.answers = {true, true};
  EXPECT_TRUE(Run());
  EXPECT_EQ(screen.Questions().size(), 2u);
  EXPECT_EQ(screen.Messages().back().title, "Programming Complete");
}

// ---- Replies and state ----

TEST_F(AtmelProgrammerTest, RepliesTheEngineDoesNotKnowChangeNothing) {
  node.delayMs.fill(Node::kSilent);
  for (uint32_t identifier : {6u, 0x100u, 0x18EF1001u, 0x20000000u, 0x18EF10F1u})
    for (uint8_t length : {0, 2, 8}) programmer.OnReply(CanMessage{.identifier = identifier, .length = length,
                                                                   .data = {0x00, 0x01}});
  programmer.OnReply(CanMessage{.identifier = 4, .length = 1, .data = {0x01}});  // not an erase answer
  EXPECT_EQ(BootloaderType, kNoBootloader);
  EXPECT_FALSE(programmer.ReadRegisters());
  EXPECT_FALSE(programmer.EraseMemory());
  EXPECT_FALSE(programmer.BlankCheck());
  EXPECT_FALSE(programmer.SetAddressRange());
}

TEST_F(AtmelProgrammerTest, ResetStateErasesTheImageAndForgetsTheOpenPort) {
  WriteHexFile(0x100);
  ASSERT_TRUE(Run());
  EXPECT_EQ(programmer.Image().End(), 0x100);
  programmer.ResetState();
  EXPECT_EQ(programmer.Image().End(), 0);
  for (uint32_t k = 0; k < kNodeMemorySize; ++k) ASSERT_EQ(*programmer.Image().At(static_cast<uint16_t>(k)), 0xFF);
  node.frames.clear();
  node.delayMs[Node::kOpen] = Node::kSilent;
  EXPECT_FALSE(programmer.OpenPort());  // a port flag left set would have sent a frame at once
  ASSERT_EQ(node.frames.size(), 1u);
  EXPECT_EQ(node.frames[0].at, clock.TickCount() - 100);
}

}  // namespace
