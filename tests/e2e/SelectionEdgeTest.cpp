#include <gtest/gtest.h>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "RowName.h"
#include "UploaderRig.h"

namespace {

struct WaitCase {
  const char* name;
  std::vector<std::string> nodes;  // the first waits in its bootloader
  const char* file;
  int button;  // "Node n", 0 for Start
  const char* kind;
};

// A run while another node waits in a bootloader sends nothing (it would
// take the run's commands too): each kind of bootloader is found by the
// question that changes nothing in it, and nothing else reaches it.
class WaitingNode : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitingNode, IsFoundAndNothingIsSent) {
  const WaitCase& c = GetParam();
  UploaderRig rig;
  rig.MakeImageFile(c.file, 256, 4);
  rig.StartRun(c.nodes, c.file, c.button);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kNodeWaits, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Looking for a node waiting in its bootloader",
                                       std::string("WARNING: a node waits in its ") + c.kind + " bootloader.",
                                       kNodeWaits, "Programming... Failed"}));
  const std::string trace = rig.BusTrace();
  EXPECT_EQ(Count(trace, "#F1"), 0u);
  EXPECT_EQ(Count(trace, "can0 00"), Count(trace, "can0 000#FF")) << "an Atmel bootloader was commanded";
  EXPECT_EQ(Count(trace, "can0 18EFF110"), Count(trace, "can0 18EFF110#3C53746172743E")) << "an ST10 one was";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WaitingNode,
    ::testing::Values(
        // Alpha Node 1 waits; Rho Node 1 is touched.
        WaitCase{"Atmel",
                 {"address=0x01,program=149,boot=atmel,fault=start-in-bootloader",
                  "address=0x69,program=266,boot=atmel"},
                 "P266rho.hex", 1, "Atmel"},
        // Tau Node 1 waits; Beta Node's Start is touched.
        WaitCase{"St10",
                 {"address=0x30,program=279,boot=st10,fault=start-in-bootloader", "address=0x20,program=143,boot=st10"},
                 "P143beta.hex", 0, "ST10"}),
    RowName());

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
