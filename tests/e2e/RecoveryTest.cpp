#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

TEST(RecoveryTest, APowerCutSt10NodeIsRecoveredAndProgrammed) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 7);
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  rig.StartRun({"address=0x20,program=143,boot=st10,after=143,fault=power-cut=5"}, "P143beta.hex", 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  // The node loses power half-way: the line times out and the retry is declined.
  rig.AnswerBox("Node timeout: line count = 0", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kNo);
  rig.AnswerBox(kNotSuccessful, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(rig.WaitForLogLine("P143beta.hex - Beta Node beta - online: false", 1000));

  rig.TouchRecov();
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kYes);
  rig.BenchCommand("power-on 0x20");  // back in its bootloader, it announces itself once started
  const auto announcedAgain = [&] { return rig.BusTrace().rfind("F1#D001") != rig.BusTrace().find("F1#D001"); };
  ASSERT_TRUE(PollUntil(announcedAgain, 2000));
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("P143beta.hex - Beta Node beta - online: true", 5000));
  // "All" would program the node in its bootloader once for every node shown.
  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.TouchAll();
  const char refusedAll[] = "Recovery mode programs one node only. Touch the button of the node to recover.";
  rig.AnswerBox(refusedAll, UploaderRig::kOk);
  rig.SelectFile("P143beta.hex", kPressStart);
  rig.TouchStart();
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";

  auto lines = rig.LogLines();
  std::vector<std::string> after(std::find(lines.begin(), lines.end(), "Enter start recovery mode"), lines.end());
  EXPECT_TRUE(InOrder(after, {kRecoveryFound, refusedAll, "ST10 MODE - node is in bootloader mode", "Programming... Finished"}));
  EXPECT_EQ(std::count(after.begin(), after.end(), kRecoveryQuestion), 0) << "the question is never logged";
  EXPECT_EQ(std::count_if(after.begin(), after.end(), [](const std::string& l) { return l.starts_with("Sending bootloader"); }),
            0) << "a node in its bootloader needs no bootloader command";
}

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
