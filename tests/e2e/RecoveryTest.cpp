#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

TEST(RecoveryTest, AnAtmelNodeWaitingInItsBootloaderIsRecovered) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P266rho.hex", 0x2003, 11);
  rig.StartBench({"--node", "address=0x69,program=266,boot=atmel,fault=start-in-bootloader"});  // slot 28
  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: false", 1000));
  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  rig.BenchCommand("power-on 0x69");  // an Atmel bootloader says nothing when it starts
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: true", 5000));
  rig.SelectFile("P266rho.hex", kSelectNode);
  rig.TouchNode(1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x69) == image) << "the flash differs from the file";
  // Out of recovery mode, the file is listed because the node answers with its program again.
  EXPECT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: true", 1000, 2));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Atmel Mode - node is in bootloader mode", "Opening Port", "Reading Registers",
                                       "Atmel Mode - programming complete", "Programming... Finished"}));
  EXPECT_EQ(rig.BusTrace().find("18EF6910#F1"), std::string::npos)
      << "a node in its bootloader needs no bootloader command";
  EXPECT_FALSE(rig.HasUpdateRecord(28)) << "a programmed node leaves no unfinished update";
}

// Found nothing: the list and the program-number check are as before Recov.
TEST(RecoveryTest, NoNodeFoundLeavesRecoveryModeOff) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 256, 1);
  rig.MakeImageFile("P266rho.hex", 256, 2);  // no Rho node on the bus
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel"});
  rig.StartUploader();
  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kNothingToRecover, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine(kNothingToRecover, 5000));
  EXPECT_TRUE(PollUntil([&] { return rig.LogLines().back().empty(); }, 5000)) << "the status is cleared at the end";

  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.TouchNode(2);  // slot 2 has no node
  rig.AnswerBox(kRefused, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  EXPECT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: false", 1000, 2));
  EXPECT_EQ(rig.RowOf("P266rho.hex"), -1);
  EXPECT_EQ(rig.BusTrace().find("#F1"), std::string::npos) << "a bootloader command went out";
}

}  // namespace
