#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {





constexpr int kNode1X = 73 + 32, kNode1Y = 410 + 32;  // "Node 1"

TEST(ProgrammingRunTest, ProgramsAnAtmelNodeAndChecksItsFlash) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P149alpha.hex", 2048, 1);
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel,after=149"});
  rig.StartUploader();
  rig.SelectFile("P149alpha.hex", "Select Node To Program");
  rig.Touch(kNode1X, kNode1Y);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 20000));
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x01) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(),
                      {"Enter Programming - Selected node name: P149alpha.hex, selected node number: 1",
                       "program number on hex file [149], program number on node [149].", kWarning,
                       "Programming... Please Wait", "Sending bootloader: CAN ID = 18EF0110, Length = 1, Data = F1",
                       "Atmel Mode - node is in bootloader mode", "Sorting", "Opening Port", "Reading Registers",
                       "Erasing", "Blank Check", "Set Address", "Programming", "Verifying", "Resetting", kComplete,
                       "Atmel Mode - programming complete", "Initializing... Please Wait", "Sending Cal Request:",
                       "Enter load program list", "Programming... Finished"}));
  auto shot = rig.Screenshot("finished");
  ASSERT_TRUE(shot);
  EXPECT_FALSE(UploaderRig::ShowsButtonAt(*shot, 73, 410));
}

TEST(ProgrammingRunTest, ProgramsAnSt10NodeAndChecksItsFlash) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 2048, 2);
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10,after=143"});
  rig.StartUploader();
  rig.SelectFile("P143beta.hex", "Press Start To Program");
  rig.Touch(435, 517);  // Start
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

TEST(ProgrammingRunTest, AMismatchIsRefusedWithoutANewQuery) {
  UploaderRig rig;
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel"});
  rig.StartUploader();
  rig.SelectFile("P149alpha.hex", "Select Node To Program");
  rig.Touch(139 + 32, 410 + 32);  // "Node 2": slot 2 has no node
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

TEST(ProgrammingRunTest, ANodeThatIgnoresTheBootloaderCommandGetsNoResponseBox) {
  UploaderRig rig;
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel,fault=no-bootloader"});
  rig.StartUploader();
  rig.SelectFile("P149alpha.hex", "Select Node To Program");
  rig.Touch(kNode1X, kNode1Y);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("No node response.", UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Sending bootloader: CAN ID = 18EF0110, Length = 1, Data = F1",
                                      "Received no node response", "No node response.", "Initializing... Please Wait",
                                      "Sending Cal Request:", "Programming... Failed"}));
}

TEST(ProgrammingRunTest, AnSt10LineErrorRetriedWithYesSucceeds) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 3);
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10,after=143,fault=line-error=3"});
  rig.StartUploader();
  rig.SelectFile("P143beta.hex", "Press Start To Program");
  rig.Touch(435, 517);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kRightmost);
  rig.AnswerBox(kSt10Retry, UploaderRig::kRightmost);  // YES
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Checksum Error Line: 3", "Accessing File", "Programming...", kComplete,
                                      "ST10 Mode - programming complete", "Programming... Finished"}));
}

TEST(ProgrammingRunTest, AFailureAnsweredWithNoEndsFailed) {
  UploaderRig rig;
  rig.MakeImageFile("P143beta.hex", 1024, 4);
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10,fault=line-error=2"});
  rig.StartUploader();
  rig.SelectFile("P143beta.hex", "Press Start To Program");
  rig.Touch(435, 517);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox("Checksum Error Line: 2", UploaderRig::kRightmost);
  rig.AnswerBox(kSt10Retry, UploaderRig::kSecondFromRight);  // NO
  rig.AnswerBox(kNotSuccessful, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Checksum Error Line: 2", "Resetting", kNotSuccessful,
                                      "ST10 Mode - error programming node", "Initializing... Please Wait",
                                      "Programming... Failed"}));
}

TEST(ProgrammingRunTest, AFile279IsAcceptedForAnySlotWhenSomeNodeRuns279) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P279tau.hex", 1024, 5);
  rig.StartBench({"--node", "address=0x30,program=279,boot=st10", "--node", "address=0x31,program=280,boot=st10,after=279"});
  rig.StartUploader();
  rig.SelectFile("P279tau.hex", "Select Node To Program");
  rig.Touch(139 + 32, 410 + 32);  // "Node 2": slot 35, the node at 0x31 that runs 280
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x31) == image) << "the flash differs from the file";
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Enter Programming - Selected node name: P279tau.hex, selected node number: 35",
                                      "program number on hex file [279], program number on node [280].",
                                      "Found matching program number [279] at node index [12]",
                                      "Sending bootloader: CAN ID = 18EF3110, Length = 1, Data = F1"}));
}

TEST(ProgrammingRunTest, AnUnknownFileWarnsAndProgramsTheSlotOfItsButton) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P999x.hex", 1024, 6);
  rig.StartBench({"--node", "address=0x03,program=999,boot=atmel,after=999"});
  rig.StartUploader();
  rig.SelectFile("P999x.hex", "Select Node To Program");
  rig.Touch(205 + 32, 410 + 32);  // "Node 3"
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
