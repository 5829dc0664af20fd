#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

struct SlotCase {
  const char* name;
  std::vector<std::string> nodes;
  const char* file;
  int button;                          // "Node n", 0 for Start, -1 for "All"
  std::vector<std::string> boxes;      // answered with OK, in order
  std::vector<std::string> logged;     // the last is waited for
  std::string commandTo;               // the one request identifier sent F1, if any
  std::vector<std::string> spared;     // identifiers that must not get F1
};

void PrintTo(const SlotCase& c, std::ostream* out) { *out << c.name; }

// A run while another node waits in a bootloader sends nothing (it would
// take the run's commands too): each kind of bootloader is found by the
// question that changes nothing in it.
class SlotChoice : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotChoice, TheCommandGoesToTheTouchedSlot) {
  const SlotCase& c = GetParam();
  UploaderRig rig;
  rig.MakeImageFile(c.file, 256, 4);
  rig.StartRun(c.nodes, c.file, c.button);
  for (const std::string& box : c.boxes) rig.AnswerBox(box, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(c.logged.back(), 10000));
  EXPECT_TRUE(InOrder(rig.RunLines(), c.logged));
  // The bench writes its trace out between frames: the command logged may not be in it yet.
  ASSERT_TRUE(c.commandTo.empty() || PollUntil([&] { return Count(rig.BusTrace(), "#F1") > 0; }, 2000));
  const std::string trace = rig.BusTrace();
  EXPECT_EQ(Count(trace, "#F1"), c.commandTo.empty() ? 0u : 1u);
  EXPECT_EQ(Count(trace, c.commandTo + "#F1"), c.commandTo.empty() ? 0u : 1u);
  for (const std::string& id : c.spared) EXPECT_EQ(trace.find(id + "#F1"), std::string::npos) << id;
  // Up to the bootloader command, the bootloaders hear only the question whether one waits.
  const std::string before = trace.substr(0, c.commandTo.empty() ? std::string::npos : trace.find(c.commandTo + "#F1"));
  EXPECT_EQ(Count(before, "can0 00"), Count(before, "can0 000#FF")) << "an Atmel bootloader was commanded";
  EXPECT_EQ(Count(before, "can0 18EFF110"), Count(before, "can0 18EFF110#3C53746172743E")) << "an ST10 one was";
  const std::vector<std::string> run = rig.RunLines();
  if (c.commandTo.empty()) {
    EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 0) << "a refused run asks no node";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SlotChoice,
    ::testing::Values(
        // Alpha Node 1 waits in its Atmel bootloader; Rho Node 1 is touched.
        SlotCase{"AtmelNodeWaiting",
                 {"address=0x01,program=149,boot=atmel,fault=start-in-bootloader",
                  "address=0x69,program=266,boot=atmel"},
                 "P266rho.hex", 1, {kWarning, kNodeWaits},
                 {"Looking for a node waiting in its bootloader", "WARNING: a node waits in its Atmel bootloader.",
                  kNodeWaits, "Programming... Failed"},
                 "", {}},
        // Tau Node 1 waits in its ST10 bootloader; Beta Node's Start is touched.
        SlotCase{"St10NodeWaiting",
                 {"address=0x30,program=279,boot=st10,fault=start-in-bootloader", "address=0x20,program=143,boot=st10"},
                 "P143beta.hex", 0, {kWarning, kNodeWaits},
                 {"Looking for a node waiting in its bootloader", "WARNING: a node waits in its ST10 bootloader.",
                  kNodeWaits, "Programming... Failed"},
                 "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The list holds 101 files, rows 0 to 100: the last row is offered its node
// buttons like any other.
TEST(ListEdge, TheHundredAndFirstRowOffersNodeButtons) {
  UploaderRig rig;
  for (int i = 0; i < 101; ++i) rig.AddHexFile("P149file" + std::to_string(100 + i) + ".hex", ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel"});
  rig.StartUploader();
  rig.AnswerBox("There are too many hex files in the Pinecroft directory, not all files are loaded.", UploaderRig::kOk);
  for (int page = 0; page < 14; ++page) rig.TouchPageDown();  // rows 98..104
  rig.TouchListRow(100 - 98);
  ASSERT_TRUE(rig.WaitForLogLine(kSelectNode, 5000));
  auto shot = rig.Screenshot("row-100");
  ASSERT_TRUE(shot);
  EXPECT_TRUE(ShowsButtonAt(*shot, UploaderRig::NodeButton(1).x, UploaderRig::NodeButton(1).y));
  EXPECT_TRUE(ShowsButtonAt(*shot, UploaderRig::kAll.x, UploaderRig::kAll.y));
}

}  // namespace
