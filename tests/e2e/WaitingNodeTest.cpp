#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

struct WaitingCase {
  const char* name;
  std::vector<std::string> nodes;  // the waiting one first
  const char* file;
  int button;                       // 0: Start
  const char* command;              // the bootloader command the run would send
  const char* look;                 // the one frame of that kind the console may send: a question
  const char* identifiers;          // the trace's prefix of every frame of that bootloader kind
  const char* kind;
};

void PrintTo(const WaitingCase& c, std::ostream* out) { *out << c.name; }

// A node left in its bootloader by an earlier update answers no query but
// hears every bootloader command of its kind: the run for another node sends
// it nothing beyond the question, says why, and leaves both nodes as they were.
class WaitingNode : public ::testing::TestWithParam<WaitingCase> {};

TEST_P(WaitingNode, AnotherNodesRunSendsNothingAndSaysWhy) {
  const WaitingCase& c = GetParam();
  UploaderRig rig;
  rig.MakeImageFile(c.file, 512, 31);
  rig.StartRun(c.nodes, c.file, c.button);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kNodeWaits, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  EXPECT_TRUE(rig.WaitForLogLine(std::string("WARNING: a node waits in its ") + c.kind + " bootloader.", 0));
  const std::string trace = rig.BusTrace();
  EXPECT_EQ(Count(trace, c.command), 0u) << "the chosen node was sent its bootloader command";
  EXPECT_EQ(Count(trace, c.identifiers), Count(trace, c.look)) << "more than the question reached the bootloaders";
  const std::vector<std::string> log = rig.LogLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Sending Cal Request:"), 1) << "a run that sent nothing asks again";
  EXPECT_FALSE(rig.HasUpdateRecord(1) || rig.HasUpdateRecord(28) || rig.HasUpdateRecord(11));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WaitingNode,
    ::testing::Values(
        // Alpha Node 1 waits; the operator updates Rho Node 1.
        WaitingCase{"Atmel",
                    {"address=0x01,program=149,boot=atmel,fault=start-in-bootloader",
                     "address=0x69,program=266,boot=atmel"},
                    "P266rho.hex", 1, "18EF6910#F1", "can0 000#FF", "can0 00", "Atmel"},
        // Tau Node 1 waits; the operator updates Beta Node 1.
        WaitingCase{"St10",
                    {"address=0x30,program=279,boot=st10,fault=start-in-bootloader",
                     "address=0x20,program=143,boot=st10"},
                    "P143beta.hex", 0, "18EF2010#F1", "can0 18EFF110#3C53746172743E", "can0 18EFF110", "ST10"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
