#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

// The centre of a node button of the upper row ("Node 1".."Node 5") and of Start.
constexpr int NodeX(int button) { return 73 + 66 * (button - 1) + 32; }
constexpr int kNodeY = 410 + 32;
constexpr int kStartX = 435, kStartY = 517;

// One run from the operator's side: the bench with its nodes, the uploader,
// the file touched in the list and then the node button or Start at (x, y).
class ProgrammingRunTest : public ::testing::Test {
 protected:
  void StartRun(const std::vector<std::string>& nodes, const std::string& file, const char* status, int x, int y) {
    std::vector<std::string> options;
    for (const std::string& node : nodes) options.insert(options.end(), {"--node", node});
    rig.StartBench(options);
    rig.StartUploader();
    rig.SelectFile(file, status);
    rig.Touch(x, y);
  }

  UploaderRig rig;
};

TEST_F(ProgrammingRunTest, ProgramsAnAtmelNodeAndChecksItsFlash) {
  std::string image = rig.MakeImageFile("P149alpha.hex", 2048, 1);
  StartRun({"address=0x01,program=149,boot=atmel,after=149"}, "P149alpha.hex", "Select Node To Program", NodeX(1),
           kNodeY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 20000));
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x01) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Enter Programming - Selected node name: P149alpha.hex, selected node number: 1",
                                       "program number on hex file [149], program number on node [149].",
                                       kWarning,
                                       "Programming... Please Wait",
                                       "Sending bootloader: CAN ID = 18EF0110, Length = 1, Data = F1",
                                       "Atmel Mode - node is in bootloader mode",
                                       "Sorting",
                                       "Opening Port",
                                       "Reading Registers",
                                       "Erasing",
                                       "Blank Check",
                                       "Set Address",
                                       "Programming",
                                       "Verifying",
                                       "Resetting",
                                       kComplete,
                                       "Atmel Mode - programming complete",
                                       "Initializing... Please Wait",
                                       "Sending Cal Request:",
                                       "Enter load program list",
                                       "Programming... Finished"}));
  auto shot = rig.Screenshot("finished");
  ASSERT_TRUE(shot);
  EXPECT_FALSE(UploaderRig::ShowsButtonAt(*shot, 73, 410));
}

TEST_F(ProgrammingRunTest, ProgramsAnSt10NodeAndChecksItsFlash) {
  std::string image = rig.MakeImageFile("P143beta.hex", 2048, 2);
  StartRun({"address=0x20,program=143,boot=st10,after=143"}, "P143beta.hex", "Press Start To Program", kStartX,
           kStartY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(),
                      {"Enter Programming - Selected node name: P143beta.hex, selected node number: 11",
                       "program number on hex file [143], program number on node [143].", kWarning,
                       "Programming... Please Wait", "Sending bootloader: CAN ID = 18EF2010, Length = 1, Data = F1",
                       "ST10 MODE - node is in bootloader mode", "Accessing File", "Loading File", "Opening Port",
                       "Erasing... Please Wait", "Programming", "Programming...", "Resetting", kComplete,
                       "ST10 Mode - programming complete", "Initializing... Please Wait", "Programming... Finished"}));
}

TEST_F(ProgrammingRunTest, AMismatchIsRefusedWithoutANewQuery) {
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  // "Node 2": slot 2 has no node
  StartRun({"address=0x01,program=149,boot=atmel"}, "P149alpha.hex", "Select Node To Program", NodeX(2), kNodeY);
  const char refusal[] =
      "The selected node is not supported with the selected firmware version, select a different firmware or node "
      "and try again";
  rig.AnswerBox(refusal, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  auto run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, {"Enter Programming - Selected node name: P149alpha.hex, selected node number: 2",
                            "program number on hex file [149], program number on node [0].",
                            "WARNING: program number on hex file [149] does not match program number on node [0].",
                            refusal, "Enter load program list", "Programming... Failed"}));
  EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 0);
}

TEST_F(ProgrammingRunTest, ANodeThatIgnoresTheBootloaderCommandGetsNoResponseBox) {
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  StartRun({"address=0x01,program=149,boot=atmel,fault=no-bootloader"}, "P149alpha.hex", "Select Node To Program",
           NodeX(1), kNodeY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("No node response.", UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Sending bootloader: CAN ID = 18EF0110, Length = 1, Data = F1",
                                       "Received no node response", "No node response.", "Initializing... Please Wait",
                                       "Sending Cal Request:", "Programming... Failed"}));
}

TEST_F(ProgrammingRunTest, AnSt10LineErrorRetriedWithYesSucceeds) {
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 3);
  StartRun({"address=0x20,program=143,boot=st10,after=143,fault=line-error=3"}, "P143beta.hex",
           "Press Start To Program", kStartX, kStartY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kRightmost);
  rig.AnswerBox(kSt10Retry, UploaderRig::kRightmost);  // YES
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Checksum Error Line: 3", "Accessing File", "Programming...", kComplete,
                                       "ST10 Mode - programming complete", "Programming... Finished"}));
}

TEST_F(ProgrammingRunTest, AFailureAnsweredWithNoEndsFailed) {
  rig.MakeImageFile("P143beta.hex", 1024, 4);
  StartRun({"address=0x20,program=143,boot=st10,fault=line-error=2"}, "P143beta.hex", "Press Start To Program", kStartX,
           kStartY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("Checksum Error Line: 2", UploaderRig::kRightmost);
  rig.AnswerBox(kSt10Retry, UploaderRig::kSecondFromRight);  // NO
  rig.AnswerBox(kNotSuccessful, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(InOrder(rig.RunLines(),
                      {"Checksum Error Line: 2", "Resetting", kNotSuccessful, "ST10 Mode - error programming node",
                       "Initializing... Please Wait", "Programming... Failed"}));
}

TEST_F(ProgrammingRunTest, AFile279IsAcceptedForAnySlotWhenSomeNodeRuns279) {
  std::string image = rig.MakeImageFile("P279tau.hex", 1024, 5);
  // "Node 2": slot 35, the node at 0x31 that runs 280
  StartRun({"address=0x30,program=279,boot=st10", "address=0x31,program=280,boot=st10,after=279"}, "P279tau.hex",
           "Select Node To Program", NodeX(2), kNodeY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x31) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Enter Programming - Selected node name: P279tau.hex, selected node number: 35",
                                       "program number on hex file [279], program number on node [280].",
                                       "Found matching program number [279] at node index [12]",
                                       "Sending bootloader: CAN ID = 18EF3110, Length = 1, Data = F1"}));
}

TEST_F(ProgrammingRunTest, AnUnknownFileWarnsAndProgramsTheSlotOfItsButton) {
  std::string image = rig.MakeImageFile("P999x.hex", 1024, 6);
  StartRun({"address=0x03,program=999,boot=atmel,after=999"}, "P999x.hex", "Select Node To Program", NodeX(3), kNodeY);
  rig.AnswerBox("You are attempting to program a node with an unknown firmware version.", UploaderRig::kRightmost);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x03) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Enter Programming - Selected node name: P999x.hex, selected node number: 101",
                                       "WARNING: attempting to program a node with an unknown firmware version.",
                                       "program number on hex file [999], program number on node [999].",
                                       "Sending bootloader: CAN ID = 18EF0310, Length = 1, Data = F1"}));
}

}  // namespace
