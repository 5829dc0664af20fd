#include "atmel/AtmelProgrammer.h"

#include <gtest/gtest.h>

#include <array>
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
using Texts = std::vector<std::string>;

const char kQuestion[] =
    "An error occurred during programming, check all your connections to node. \nWould you like to try again?";
const char kComplete[] = "Press OK to program another node.  When finished, press Exit and remove USB drive.";
const char kWarning[] = "Programming was not successful, node may not be usable. Contact Alder for support.";

// Intel HEX text of bytes from address 0, one byte a record, with an end record.
std::string HexText(const Bytes& bytes) {
  std::string text;
  char record[20];
  for (size_t at = 0; at < bytes.size(); ++at) {
    const unsigned checksum = 0xFF & (0xFF - (at >> 8) - at - bytes[at]);
    std::snprintf(record, sizeof record, ":01%04X00%02X%02X\n", static_cast<unsigned>(at), bytes[at], checksum);
    text += record;
  }
  return text + ":00000001FF\n";
}

Bytes DataOf(const CanMessage& message) { return Bytes(message.data, message.data + message.length); }

// The command a frame carries, by its identifier and first byte.
std::string KindOf(const CanMessage& message) {
  const uint8_t first = message.data[0];
  const std::string kinds[] = {"open", "range", "data", first == 0x01 ? "blank" : "verify",
                               first == 0x00 ? "erase" : first == 0x01 ? "close" : "reset", "regs"};
  return message.identifier < 6 ? kinds[message.identifier] : "?";
}

class AtmelProgrammerTest : public ::testing::Test {
 public:
  AtmelProgrammerTest() { BootloaderType = kNoBootloader; }

  // A hex file of random bytes whose image ends at end.
  void WriteHexFile(size_t end) {
    std::mt19937 random(static_cast<uint32_t>(end));
    contents.resize(end);
    for (uint8_t& b : contents) b = static_cast<uint8_t>(random());
    drives.WriteFile("e:/Pinecroft/P300_1.hex", HexText(contents));
  }

  bool Run(bool openPort = true) { return programmer.Program("P300_1.hex", openPort); }

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

  static Texts TextsOf(const std::vector<FakeScreen::Box>& boxes) {
    Texts texts;
    for (const FakeScreen::Box& box : boxes) texts.push_back(box.text);
    return texts;
  }
  Texts BoxTexts() const { return TextsOf(screen.Messages()); }
  Texts QuestionTexts() const { return TextsOf(screen.Questions()); }

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

TEST_F(AtmelProgrammerTest, ImageEnding0x2003GoesOutFrameByFrameAndIsVerifiedWindowByWindow) {
  WriteHexFile(0x2003);
  ASSERT_TRUE(Run());
  ExpectFlashHoldsTheImage();
  EXPECT_EQ(Script(), "open regs erase blank range data x1025 close verify x1025 reset");
  const std::map<std::string, Bytes> commands{{"open", {0xFF}},
                                              {"regs", {0x00, 0x00}},
                                              {"erase", {0x00, 0xFF}},
                                              {"blank", {0x01, 0x00, 0x00, 0x7F, 0xFF}},
                                              {"range", {0x00, 0x00, 0x00, 0x20, 0x02}},
                                              {"close", {0x01, 0x00, 0x00}},
                                              {"reset", {0x03, 0x00}}};
  for (const auto& [kind, bytes] : commands) EXPECT_EQ(DataOf(FramesOf(kind).at(0).message), bytes) << kind;
  for (const Node::Frame& frame : node.frames) EXPECT_EQ(frame.message.flags & CanMessage::kExtendedFlag, 0);

  // The last three bytes go in a short frame that still carries the erased byte after them.
  const auto data = FramesOf("data");
  EXPECT_EQ(DataOf(data.back().message), (Bytes{contents[0x2000], contents[0x2001], contents[0x2002]}));
  EXPECT_EQ(data.back().message.data[3], 0xFF);
  for (size_t i = 1; i + 1 < data.size(); ++i) ASSERT_EQ(data[i].at - data[i - 1].at, 10u) << i;
  const auto verify = FramesOf("verify");
  EXPECT_EQ(DataOf(verify[1].message), (Bytes{0x00, 0x00, 0x08, 0x00, 0x0F}));
  EXPECT_EQ(DataOf(verify.back().message), (Bytes{0x00, 0x20, 0x00, 0x20, 0x07}));
  EXPECT_EQ(node.frames.back().at - verify.back().at, 2000u);  // the reset

  EXPECT_EQ(screen.Statuses(), (Texts{"Sorting", "Opening Port", "Reading Registers", "Erasing", "Blank Check",
                                      "Set Address", "Programming", "Verifying", "Resetting"}));
  std::vector<int> progress{0};
  for (int pass = 0; pass < 2; ++pass)
    for (int p = 0; p <= 101; ++p) progress.push_back(p);  // every 10th of 1024 frames and of 1025 windows
  EXPECT_EQ(screen.Progress(), progress);
  EXPECT_TRUE(screen.progressVisible);
  ASSERT_EQ(screen.Messages().size(), 1u);
  EXPECT_EQ(screen.Messages()[0].title, "Programming Complete");
  EXPECT_EQ(screen.Messages()[0].text, kComplete);
  EXPECT_TRUE(screen.Questions().empty());
}

class AtmelImageEndTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<size_t> {};

// A done reply to the last whole frame (0x2000) ends programming without another frame.
TEST_P(AtmelImageEndTest, EveryImageSizeReachesTheFlash) {
  const size_t end = GetParam();
  const size_t frames = (end + 7) / 8;
  WriteHexFile(end);
  ASSERT_TRUE(Run());
  ExpectFlashHoldsTheImage();
  EXPECT_EQ(FramesOf("data").size(), frames);
  EXPECT_EQ(FramesOf("verify").size(), frames);
  EXPECT_EQ(FramesOf("data").back().message.length, end % 8 ? end % 8 : 8);
  const Bytes range = DataOf(FramesOf("range")[0].message);
  EXPECT_EQ(range[3] << 8 | range[4], end - 1);
}

INSTANTIATE_TEST_SUITE_P(Ends, AtmelImageEndTest, ::testing::Values(1, 5, 0x2000, 0x8000));

TEST_F(AtmelProgrammerTest, RetryRunStartsAtEraseAndMovesTheProgressOncePerFrameOfASmallImage) {
  WriteHexFile(40);
  ASSERT_TRUE(Run(false));
  EXPECT_EQ(Script(), "erase blank range data x5 close verify x5 reset");
  EXPECT_EQ(screen.Progress(), (std::vector<int>{0, 0, 1, 2, 3, 4, 0, 1, 2, 3, 4}));
  ExpectFlashHoldsTheImage();
}

// ---- Opening the port: at once when the detection reply left it open, again when a reply closes it ----

struct OpenCase {
  const char* name;
  bool detected;
  Bytes answers;
  std::vector<uint32_t> times;
  bool opens;
};

class AtmelOpenPortTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(AtmelOpenPortTest, SendsTheOpenFrames) {
  WriteHexFile(8);
  if (GetParam().detected) {
    programmer.OnReply(CanMessage{.identifier = 0, .length = 2, .data = {0x00, 0x01}});
    EXPECT_EQ(BootloaderType, kAtmelBootloader);
  }
  node.openAnswers = GetParam().answers;
  EXPECT_EQ(Run(), GetParam().opens);
  std::vector<uint32_t> times;
  for (const Node::Frame& frame : FramesOf("open")) times.push_back(frame.at);
  EXPECT_EQ(times, GetParam().times);
  EXPECT_EQ(BootloaderType, GetParam().opens ? kAtmelBootloader : kNoBootloader);
  EXPECT_EQ(BoxTexts(), GetParam().opens ? Texts{kComplete} : Texts{"Failed at OpenPort()."});
}

INSTANTIATE_TEST_SUITE_P(Cases, AtmelOpenPortTest,
                         ::testing::Values(OpenCase{"Closed", false, {}, {100}, true},
                                           OpenCase{"Detected", true, {}, {0}, true},
                                           OpenCase{"ClosedByTheReply", true, {0x00}, {0, 100}, true},
                                           OpenCase{"OtherState", false, {0x02}, {100}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- How long each step waits for its answer, by command: an answer at the limit counts ----

constexpr std::array<int, Node::kCommandCount> kLimitMs{100, 100, 601 * 100, 201 * 100, 201 * 100, 10 + 1001 * 5,
                                                        1001 * 3};

class AtmelWaitLimitTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<int> {};

TEST_P(AtmelWaitLimitTest, AnswerAtTheLimitCounts) {
  WriteHexFile(16);
  node.delayMs[GetParam()] = kLimitMs[GetParam()];
  EXPECT_TRUE(Run());
}

INSTANTIATE_TEST_SUITE_P(Steps, AtmelWaitLimitTest, ::testing::Range(0, static_cast<int>(Node::kCommandCount)));

// ---- Runs that fail: before erasing only the reset, afterwards the question, whose NO warns ----

using Arrange = std::function<void(AtmelProgrammerTest&)>;

Arrange File(const char* text) {
  return [=](AtmelProgrammerTest& t) {
    if (text) t.drives.WriteFile("e:/Pinecroft/P300_1.hex", text);
  };
}

Arrange Node16(std::function<void(Node&)> arrange) {
  return [=](AtmelProgrammerTest& t) {
    t.WriteHexFile(16);
    arrange(t.node);
  };
}

Arrange Late(Node::Command command) {
  return Node16([=](Node& n) { n.delayMs[command] = kLimitMs[command] + 1; });
}

struct FailureCase {
  const char* name;
  Arrange arrange;
  bool openPort;
  const char* script;
  Texts boxes;
};

class AtmelFailureTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AtmelFailureTest, StopsAtTheFailingStepAndResetsTheNode) {
  GetParam().arrange(*this);
  EXPECT_FALSE(Run(GetParam().openPort));
  EXPECT_EQ(Script(), GetParam().script);
  EXPECT_EQ(BoxTexts(), GetParam().boxes);
  const bool erased = std::string(GetParam().script).find("erase") != std::string::npos;
  EXPECT_EQ(QuestionTexts(), erased ? Texts{kQuestion} : Texts{});
}

const char kCannotOpen[] = "Cannot open selected hex file.";
const char kCannotRead[] = "Cannot read from selected hex file.";

INSTANTIATE_TEST_SUITE_P(
    Runs, AtmelFailureTest,
    ::testing::Values(
        FailureCase{"Missing", File(nullptr), true, "open regs reset", {kCannotOpen, kCannotRead}},
        FailureCase{"MissingOnRetry", File(nullptr), false, "reset", {kCannotOpen, kCannotRead}},
        FailureCase{"BadChecksum", File(":0300300002337A1F\r\n:00000001FF\r\n"), true, "open regs reset",
                    {"Encounter invalid checksum in hex file."}},
        FailureCase{"Cut", File(":0300300002337A1E\r\n"), true, "open regs reset", {kCannotRead}},
        FailureCase{"DataOutsideMemory", File(":01800000116E\r\n:00000001FF\r\n"), true, "open regs reset",
                    {"Hex file data lies outside the node's 32 KB memory."}},
        FailureCase{"LateOpen", Late(Node::kOpen), true, "open regs reset", {"Failed at OpenPort()."}},
        FailureCase{"LateRegisters", Late(Node::kRegisters), true, "open regs reset", {"Failed at ReadRegisters()."}},
        FailureCase{"LateErase", Late(Node::kErase), true, "open regs erase reset",
                    {"Failed at EraseMemory().", kWarning}},
        FailureCase{"LateBlank", Late(Node::kBlank), true, "open regs erase blank reset",
                    {"Failed at BlankCheck().", kWarning}},
        FailureCase{"NotBlank", Node16([](Node& n) { n.blankAnswerLength = 5; }), true, "open regs erase blank reset",
                    {"Failed at BlankCheck().", kWarning}},
        FailureCase{"LateRange", Late(Node::kRange), true, "open regs erase blank range reset",
                    {"Failed at SetAddressRange().", kWarning}},
        FailureCase{"LateData", Late(Node::kData), true, "open regs erase blank range data reset", {kWarning}},
        FailureCase{"NeverDone", Node16([](Node& n) { n.reportsDone = false; }), true,
                    "open regs erase blank range data x2 reset", {kWarning}},
        FailureCase{"LateVerify", Late(Node::kVerify), true, "open regs erase blank range data x2 close verify reset",
                    {kWarning}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AtmelProgrammerTest, EndRecordOnlyFileAnnouncesTheWholeRangeAndWaitsForDoneInVain) {
  drives.WriteFile("e:/Pinecroft/P300_1.hex", ":00000001FF\r\n");
  EXPECT_FALSE(Run(false));
  EXPECT_EQ(Script(), "erase blank range reset");
  EXPECT_EQ(DataOf(FramesOf("range")[0].message), (Bytes{0x00, 0x00, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(FramesOf("reset")[0].at - FramesOf("range")[0].at, 1001u * 5 + 2000);
}

// ---- Retries: each YES parses the file again and starts at erase ----

struct RetryCase {
  const char* name;
  std::function<void(Node&)> arrange;
  std::deque<bool> answers;
  bool programmed;
  const char* script;
};

class AtmelRetryTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(AtmelRetryTest, RetriesWhileTheOperatorSaysYes) {
  WriteHexFile(24);
  GetParam().arrange(node);
  screen.answers = GetParam().answers;
  EXPECT_EQ(Run(), GetParam().programmed);
  EXPECT_EQ(Script(), GetParam().script);
  const std::deque<bool>& answers = GetParam().answers;
  EXPECT_EQ(screen.Questions().size(), answers.size());
  const Texts statuses = screen.Statuses();
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Sorting"),
            std::count(answers.begin(), answers.end(), true) + 1);  // each YES parses the file again
  EXPECT_EQ(BoxTexts().back(), GetParam().programmed ? kComplete : kWarning);
  if (GetParam().programmed) ExpectFlashHoldsTheImage();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AtmelRetryTest,
    ::testing::Values(
        RetryCase{"LostEraseAnswer", [](Node& n) { n.ignoreFirst[Node::kErase] = 1; }, {true}, true,
                  "open regs erase x2 blank range data x3 close verify x3 reset"},
        RetryCase{"LostAcknowledgement", [](Node& n) { n.ignoreFirst[Node::kData] = 1; }, {true}, true,
                  "open regs erase blank range data erase blank range data x3 close verify x3 reset"},
        RetryCase{"TwoLostRangeAnswers", [](Node& n) { n.ignoreFirst[Node::kRange] = 2; }, {true, true}, true,
                  "open regs erase blank range erase blank range erase blank range data x3 close verify x3 reset"},
        RetryCase{"GivesUp", [](Node& n) { n.delayMs[Node::kErase] = Node::kSilent; }, {true, true, false}, false,
                  "open regs erase x3 reset"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Replies and state ----

TEST_F(AtmelProgrammerTest, RepliesTheEngineDoesNotKnowChangeNothing) {
  node.delayMs.fill(Node::kSilent);
  for (uint32_t identifier : {6u, 0x100u, 0x18EF1001u, 0x20000000u, 0x18EF10F1u})
    for (uint8_t length : {0, 2, 8})
      programmer.OnReply(CanMessage{.identifier = identifier, .length = length, .data = {0x00, 0x01}});
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
  programmer.ResetState();
  EXPECT_EQ(programmer.Image().End(), 0);
  for (uint32_t k = 0; k < kNodeMemorySize; ++k) ASSERT_EQ(*programmer.Image().At(static_cast<uint16_t>(k)), 0xFF);
  node.frames.clear();
  node.delayMs[Node::kOpen] = Node::kSilent;
  EXPECT_FALSE(programmer.OpenPort());  // a port flag left set would have sent a frame at once
  ASSERT_EQ(node.frames.size(), 1u);
  EXPECT_EQ(node.frames[0].at, clock.TickCount() - 100);
}

// ---- Verifying: each display reply, all eight bytes, against its window; YES writes again ----

constexpr int kInverted = -1;  // the node shows the image's byte inverted

struct VerifyCase {
  const char* name;
  std::map<uint16_t, int> misread;
  const char* box;
};

class AtmelVerifyTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(AtmelVerifyTest, FirstDifferenceFailsTheStepAndYesMendsIt) {
  WriteHexFile(0x2003);
  ASSERT_NE(contents[0x1007], 0xFF);  // a shown 0xFF must differ, though the gateway drops it from the length
  for (const auto& [address, shown] : GetParam().misread)
    node.misreadOnce[address] = static_cast<uint8_t>(shown == kInverted ? ~contents[address] : shown);
  screen.answers = {true};
  EXPECT_TRUE(Run());
  EXPECT_EQ(BoxTexts(), (Texts{GetParam().box, kComplete}));
  EXPECT_EQ(QuestionTexts(), Texts{kQuestion});
  ExpectFlashHoldsTheImage();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, AtmelVerifyTest,
    ::testing::Values(
        VerifyCase{"FirstOfTwo", {{0x1005, kInverted}, {0x1003, kInverted}}, "Verify failed at address 0x1003."},
        VerifyCase{"ErasedByteEndingAWindow", {{0x1007, 0xFF}}, "Verify failed at address 0x1007."},
        VerifyCase{"LastWindow", {{0x2001, kInverted}}, "Verify failed at address 0x2001."},
        VerifyCase{"PastTheImageEnd", {{0x2006, 0x00}}, "Verify failed at address 0x2006."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Answers from other threads ----

// The run must see every answer arriving on another thread while it waits for
// it, as answers do from the link (run under ThreadSanitizer).
TEST_F(AtmelProgrammerTest, RunSeesAnswersFromOtherThreads) {
  WriteHexFile(40);
  node.answerOnThreads = true;
  EXPECT_TRUE(Run());
  EXPECT_EQ(BootloaderType, kAtmelBootloader);
  ExpectFlashHoldsTheImage();
  EXPECT_EQ(BoxTexts(), Texts{kComplete});
}

}  // namespace
