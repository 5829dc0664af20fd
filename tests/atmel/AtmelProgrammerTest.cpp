#include "atmel/AtmelProgrammer.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

#include "FakeAtmelNode.h"
#include "FakeScreen.h"
#include "HexText.h"
#include "OperatorTexts.h"
#include "RowName.h"
#include "TempDosDevices.h"
#include "TimeLeftCheck.h"
#include "console/ProgramState.h"

namespace {

using Node = FakeAtmelNode;
using Texts = std::vector<std::string>;

Texts TextsOf(const std::vector<FakeScreen::Box>& boxes) {
  Texts texts;
  for (const FakeScreen::Box& box : boxes) texts.push_back(box.text);
  return texts;
}

// The command a frame carries, by its identifier and first byte.
std::string KindOf(const CanMessage& message) {
  const uint8_t first = message.data[0];
  const std::string kinds[] = {"open", "range", "data", first == 0x01 ? "blank" : "verify",
                               first == 0x00 ? "erase" : first == 0x01 ? "close" : "reset", "regs"};
  return message.identifier < 6 ? kinds[message.identifier] : "?";
}

class AtmelProgrammerTest : public ::testing::Test {
 public:
  AtmelProgrammerTest() { ResetRunState(); }

  // A hex file of random bytes whose image ends at end.
  void WriteHexFile(size_t end) {
    const std::string image = RandomImage(end, static_cast<unsigned>(end));
    contents.assign(image.begin(), image.end());
    drives.WriteFile("e:/Pinecroft/P300_1.hex", IntelHex(image));
  }

  bool Run() { return programmer.Program("P300_1.hex", true) == AtmelProgrammer::Result::kProgrammed; }

  // The frames sent, by kind, runs folded: "open regs erase data x3 reset".
  std::string Script() const {
    std::string script;
    for (size_t i = 0; i < node.frames.size();) {
      const std::string kind = KindOf(node.frames[i]);
      size_t run = 1;
      while (i + run < node.frames.size() && KindOf(node.frames[i + run]) == kind) ++run;
      script += (script.empty() ? "" : " ") + kind + (run > 1 ? " x" + std::to_string(run) : "");
      i += run;
    }
    return script;
  }

  std::vector<CanMessage> FramesOf(const std::string& kind) const {
    std::vector<CanMessage> found;
    for (const CanMessage& frame : node.frames)
      if (KindOf(frame) == kind) found.push_back(frame);
    return found;
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
  std::vector<uint8_t> contents;
};

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
  EXPECT_EQ(FramesOf("data").back().length, end % 8 ? end % 8 : 8);
  const CanMessage range = FramesOf("range")[0];
  EXPECT_EQ(range.data[3] << 8 | range.data[4], end - 1);
}

INSTANTIATE_TEST_SUITE_P(Ends, AtmelImageEndTest, ::testing::Values(1, 5, 0x2000, 0x8000),
                         [](const auto& info) { return "At" + std::to_string(info.param); });

// ---- How long each step waits for its answer, by command: an answer at the limit counts ----

constexpr std::array<int, Node::kCommandCount> kLimitMs{100, 100, 601 * 100, 201 * 100, 201 * 100, 10 + 1001 * 5,
                                                        1001 * 3};
constexpr std::array<const char*, Node::kCommandCount> kCommandNames{"Open", "Registers", "Erase", "Blank",
                                                                     "Range", "Data", "Verify"};

class AtmelWaitLimitTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<int> {};

TEST_P(AtmelWaitLimitTest, AnswerAtTheLimitCounts) {
  WriteHexFile(16);
  node.delayMs[GetParam()] = kLimitMs[GetParam()];
  EXPECT_TRUE(Run());
}

INSTANTIATE_TEST_SUITE_P(Steps, AtmelWaitLimitTest, ::testing::Range(0, static_cast<int>(Node::kCommandCount)),
                         [](const auto& info) { return std::string(kCommandNames[info.param]); });

// ---- Runs that fail: before erasing only the reset, afterwards the question, whose NO warns ----

using Arrange = std::function<void(AtmelProgrammerTest&)>;

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
  const char* script;
  Texts boxes;
};

class AtmelFailureTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AtmelFailureTest, StopsAtTheFailingStepAndResetsTheNode) {
  GetParam().arrange(*this);
  EXPECT_FALSE(Run());
  EXPECT_EQ(Script(), GetParam().script);
  EXPECT_EQ(BoxTexts(), GetParam().boxes);
  const bool erased = std::string(GetParam().script).find("erase") != std::string::npos;
  EXPECT_EQ(QuestionTexts(), erased ? Texts{kAtmelRetry} : Texts{});
}

INSTANTIATE_TEST_SUITE_P(
    Runs, AtmelFailureTest,
    ::testing::Values(
        FailureCase{"LateOpen", Late(Node::kOpen), "open regs reset", {"Failed at OpenPort()."}},
        FailureCase{"LateErase", Late(Node::kErase), "open regs erase reset",
                    {"Failed at EraseMemory().", kNotSuccessful}},
        FailureCase{"NotBlank", Node16([](Node& n) { n.blankAnswerLength = 5; }), "open regs erase blank reset",
                    {"Failed at BlankCheck().", kNotSuccessful}},
        FailureCase{"NeverDone", Node16([](Node& n) { n.reportsDone = false; }),
                    "open regs erase blank range data x2 reset", {kNotSuccessful}},
        FailureCase{"LateVerify", Late(Node::kVerify), "open regs erase blank range data x2 close verify reset",
                    {kNotSuccessful}}),
    RowName());

// ---- Before erasing: the node's memory is read, kept, or found to hold the file already ----

struct FakeKeeper : ProgramKeeper {
  bool Keep(const FirmwareImage& old) override { return kept.assign(old.Bytes().begin(), old.Bytes().end()), true; }
  bool GoOnUnread() override { return goesOn; }
  bool goesOn = false;
  std::vector<uint8_t> kept;
};

using R = AtmelProgrammer::Result;

// displays: the display frames that reach the node; only a run that programs it erases it.
struct KeepCase {
  const char* name;
  std::function<void(AtmelProgrammerTest&, FakeKeeper&)> arrange;
  R result;
  int displays;
  bool keptOld;
};

// A faulty line around the first read of 0x100 shows 0x11s, the re-read 0x22s;
// these two requests never reach the node.
void FaultyReads(AtmelProgrammerTest& t, FakeKeeper&) {
  t.screen.onSend = [&t, toNode = t.screen.onSend, n = uint8_t{0}](const CanMessage& m) mutable {
    if (KindOf(m) != "verify" || (m.data[1] << 8 | m.data[2]) != 0x100 || ++n > 2) return toNode(m);
    t.screen.lineFaults += n == 1;
    t.programmer.OnReply(CanMessage{.identifier = 3, .length = 8, .data = {uint8_t(0x11 * n), uint8_t(0x11 * n)}});
  };
}

void LateDataAcks(AtmelProgrammerTest& t, FakeKeeper&) {
  t.node.delayMs[Node::kVerify] = 1;
  t.screen.onSend = [&t, toNode = t.screen.onSend](const CanMessage& m) {
    if (KindOf(m) == "verify") t.programmer.OnReply(CanMessage{.identifier = 2, .length = 1, .data = {0x01}});
    toNode(m);
  };
}

class AtmelKeepTest : public AtmelProgrammerTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(AtmelKeepTest, ReadsTheOldProgramBeforeErasing) {
  WriteHexFile(0x300);
  std::ranges::copy(contents, node.flash.begin());
  node.flash[0x7FFF] = 0x00;  // the file's image but for the memory's last byte
  FakeKeeper keeper;
  GetParam().arrange(*this, keeper);
  const std::vector<uint8_t> old(node.flash.begin(), node.flash.end());
  EXPECT_EQ(programmer.Program("P300_1.hex", true, true, &keeper), GetParam().result);
  const char* writes = GetParam().result == R::kProgrammed ? " erase blank range data x96 close verify x96" : "";
  EXPECT_EQ(Script(), "open regs verify x" + std::to_string(GetParam().displays) + writes + " reset");
  EXPECT_EQ(keeper.kept, GetParam().keptOld ? old : std::vector<uint8_t>{});
  EXPECT_EQ(BoxTexts().empty() ? "" : BoxTexts().back(), GetParam().result == R::kProgrammed ? kComplete : "");
}

// How often the node answers its next displays of 0x100, whether the keeper goes on unread, the display delay.
auto Answers(std::deque<int> counts, bool goesOn = false, int delayMs = 0) {
  return [=](AtmelProgrammerTest& t, FakeKeeper& k) {
    t.node.displayAnswers[0x100] = counts, k.goesOn = goesOn, t.node.delayMs[Node::kVerify] = delayMs;
  };
}

INSTANTIATE_TEST_SUITE_P(
    Runs, AtmelKeepTest,
    ::testing::Values(KeepCase{"SameFileButTheLastByte", Answers({}), R::kProgrammed, 4096, true},
                      KeepCase{"UnansweredTwice", Answers({0, 0}), R::kUntouched, 34, false},
                      KeepCase{"UnansweredTwiceGoingOn", Answers({0, 0}, true), R::kProgrammed, 34, false},
                      KeepCase{"AnsweredOnceInThree", Answers({0}), R::kProgrammed, 4098, true},
                      KeepCase{"AnsweredTwiceAtOnce", Answers({2}, false, 1), R::kProgrammed, 4097, true},
                      // The second answer is still to come after the last window: somewhere one was taken
                      // in place of its successor.
                      KeepCase{"AnsweredTwiceApart", Answers({2}), R::kUntouched, 4096, false},
                      KeepCase{"FaultThenDifferingReread", FaultyReads, R::kProgrammed, 4097, true},
                      // A data acknowledgement that comes late, while the node takes its time with a display
                      // reply, must neither release the window nor be compared with it.
                      KeepCase{"LateDataAcks", LateDataAcks, R::kProgrammed, 4096, true},
                      KeepCase{"RetryReadsNothing",
                               [](auto& t, auto&) {  // the first erase is lost, YES erases again
                                 t.screen.answers = {true};
                                 t.screen.onSend = [toNode = t.screen.onSend, lost = false](auto& m) mutable {
                                   if (KindOf(m) != "erase" || std::exchange(lost, true)) toNode(m);
                                 };
                               },
                               R::kProgrammed, 4096, true}),
    RowName());

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
  EXPECT_EQ(QuestionTexts(), Texts{kAtmelRetry});
  ExpectFlashHoldsTheImage();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, AtmelVerifyTest,
    ::testing::Values(
        VerifyCase{"FirstOfTwo", {{0x1005, kInverted}, {0x1003, kInverted}}, "Verify failed at address 0x1003."},
        VerifyCase{"ErasedByteEndingAWindow", {{0x1007, 0xFF}}, "Verify failed at address 0x1007."},
        VerifyCase{"LastWindow", {{0x2001, kInverted}}, "Verify failed at address 0x2001."},
        VerifyCase{"PastTheImageEnd", {{0x2006, 0x00}}, "Verify failed at address 0x2006."}),
    RowName());

// Once one node has shown how long its erase, frames and windows take, each
// estimate for the next one is the time it then took: a slow line, erase or
// display, or a forgotten step, would each put it seconds off.
TEST_F(AtmelProgrammerTest, TimeLeftOfTheNextNodeIsTheTimeItTakes) {
  WriteHexFile(0x2000);
  node.delayMs[Node::kErase] = 3000;
  node.delayMs[Node::kData] = 14;
  node.delayMs[Node::kVerify] = 4;
  ASSERT_TRUE(Run());
  programmer.ResetState();
  ExpectTimeLeftIsTheTimeItTakes([this] { return clock.TickCount(); }, screen, [this] { return Run(); }, 200u);
}

}  // namespace
