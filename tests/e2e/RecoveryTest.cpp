#include <gtest/gtest.h>

#include "OperatorTexts.h"
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
  ASSERT_TRUE(rig.CompleteRun());
  EXPECT_TRUE(rig.FlashDump(0x69) == image) << "the flash differs from the file";
  // Out of recovery mode, the file is listed because the node answers with its program again.
  EXPECT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: true", 1000, 2));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"Atmel Mode - node is in bootloader mode", "Opening Port", "Reading Registers",
                                       "Atmel Mode - programming complete", "Programming... Finished"}));
  EXPECT_EQ(rig.BusTrace().find("18EF6910#F1"), std::string::npos)
      << "a node in its bootloader needs no bootloader command";
  EXPECT_FALSE(rig.HasUpdateRecord(28)) << "a programmed node leaves no unfinished update";
}

}  // namespace
