#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

const char kFile[] = "P143beta.hex";
const char kNode[] = "address=0x20,program=143,boot=st10,after=143";

// Picks the file, runs it through Start and its boxes, and checks the flash.
void ProgramTheNode(UploaderRig& rig, const std::string& image) {
  rig.SelectFile(kFile, kPressStart);
  rig.TouchStart();
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
}

// How many times the file was listed as online since the program started.
long TimesListed(const UploaderRig& rig) {
  auto lines = rig.LogLines();
  return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with(std::string(kFile) + " - ") && line.ends_with(" - online: true");
  });
}

// The adapter pulled out while a run is under way and plugged in again
// afterwards: the run fails, the list comes back on its own, the next run
// programs the node, and Exit works with the gateway gone.
TEST(GatewayFault, AnUnpluggedGatewayFailsTheRunAndOncePluggedInTheNextRunProgramsTheNode) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile(kFile, 1024, 6);
  rig.StartRun({kNode}, kFile, 0);
  rig.BenchCommand("unplug");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway lost", 5000));
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kNoNodeResponse, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));

  rig.BenchCommand("replug");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway connected", 5000));
  ASSERT_TRUE(PollUntil([&] { return TimesListed(rig) == 2; }, 30000, 100)) << "the list did not come back";
  ProgramTheNode(rig, image);
  ASSERT_FALSE(HasFatalFailure());

  rig.BenchCommand("unplug");
  ASSERT_TRUE(rig.WaitForLogLine("Gateway lost", 5000, 2));
  rig.TouchExit();
  EXPECT_TRUE(rig.WaitForUploaderExit(5000));
  auto lines = rig.LogLines();
  EXPECT_TRUE(InOrder(lines, {"Gateway lost", kNoNodeResponse, "Programming... Failed", "Gateway connected",
                              "Initializing... Please Wait", "Programming... Finished", "Gateway lost"}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Programming... Finished"), 1);
}

// The adapter plugged in while the program asks the nodes at start-up, after
// the node's turn: once the screen is up the nodes are asked again, so the
// list does not stay empty.
TEST(GatewayFault, AGatewayPluggedInDuringStartUpIsListedOnceTheScreenIsUp) {
  UploaderRig rig;
  rig.MakeImageFile(kFile, 1024, 7);
  rig.StartBench({"--node", kNode});
  rig.BenchCommand("unplug");
  std::thread plugIn([&] {
    if (rig.WaitForLogLine("Tx - Node Num: 30, Node ID: 18EF6B10, Node Name: Rho Node 3", 30000)) rig.BenchCommand("replug");
  });
  rig.StartUploader();
  plugIn.join();
  EXPECT_TRUE(PollUntil([&] { return TimesListed(rig) == 1; }, 30000, 100)) << "the node was never listed";
}

}  // namespace
