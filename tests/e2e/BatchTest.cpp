#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "PixelCheck.h"
#include "UploaderRig.h"

namespace {

// One touch on "All" programs the nodes of the group that answered with the
// file's own program, each once and in slot order, under one warning and
// one summary, and sends no bootloader command to any other position of the
// group. Tau Node 6 reported 322, the other maker's program: the 279 of the
// others is no reason to give it their file. A line error on Tau Node 2 is
// told, and YES writes its whole file again.
TEST(Batch, ProgramsEveryAnsweringNodeOfTheGroupAndNoOther) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile("P279tau.hex", 1024, 5);
  rig.StartRun({"address=0x30,program=279,boot=st10", "address=0x31,program=279,boot=st10,fault=line-error=3",
                "address=0x33,program=279,boot=st10", "address=0x35,program=322,boot=st10"},
               "P279tau.hex", -1);
  const std::string names = "Programming 3 nodes: Tau Node 1, Tau Node 2, Tau Node 4.";
  rig.AnswerBox(names + "\n" + kWarning, UploaderRig::kOk);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kYes);
  const std::string summary = "Programmed: Tau Node 1, Tau Node 2, Tau Node 4.";
  rig.AnswerBox(summary, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));

  EXPECT_EQ(Count(rig.BusTrace(), "10#F1"), 3u) << "one bootloader command for each node taken, none else";
  std::vector<std::string> expected{names};
  for (int address : {0x30, 0x31, 0x33}) {
    EXPECT_TRUE(rig.FlashDump(address) == image) << address;
    expected.push_back("Enter Programming - Selected node name: P279tau.hex, selected node number: " +
                       std::to_string(34 + address - 0x30));
    if (address == 0x31) expected.push_back("Checksum Error Line: 3");
  }
  expected.insert(expected.end(), {summary, "Initializing... Please Wait", "Sending Cal Request:",
                                   "Programming... Finished"});
  const std::vector<std::string> run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, expected));
  EXPECT_EQ(std::ranges::count(run, "Accessing File"), 4) << "Tau Node 2 is written again whole";
  EXPECT_EQ(std::count(run.begin(), run.end(), "Sending Cal Request:"), 1) << "one closing query";
  EXPECT_EQ(std::count(run.begin(), run.end(), kComplete), 0) << "a node's own completion box was shown";
  auto shot = rig.Screenshot("after");
  ASSERT_TRUE(shot);
  EXPECT_FALSE(ShowsButtonAt(*shot, UploaderRig::kAll.x, UploaderRig::kAll.y)) << "\"All\" is still shown";
}

}  // namespace
