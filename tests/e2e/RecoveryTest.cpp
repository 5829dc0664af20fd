#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {


constexpr int kRecovX = 7 + 32, kRecovY = 550 + 32;
constexpr int kStartX = 435, kStartY = 517;

TEST(RecoveryTest, APowerCycledSt10NodeIsProgrammedAgain) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 7);
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10,after=143,fault=power-cut=5"});
  rig.StartUploader();
  rig.TouchRow(0);
  ASSERT_TRUE(rig.WaitForLogLine("Press Start To Program", 5000));
  rig.Touch(kStartX, kStartY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  // The node loses power half-way: the line times out and the retry is declined.
  rig.AnswerBox("Node timeout: line count = 0", UploaderRig::kRightmost);
  rig.AnswerBox("An error occurred during programming, check your CAN connections. \nWould you like to try again?",
                UploaderRig::kSecondFromRight);
  rig.AnswerBox("Programming was not successful, node may not be usable. Contact Alder for support.",
                UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  EXPECT_TRUE(rig.WaitForLogLine("P143beta.hex - Beta Node beta - online: false", 1000));

  rig.BenchCommand("power-on 0x20");  // back in its bootloader, announcing itself
  rig.Touch(kRecovX, kRecovY);
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kRightmost);  // YES
  rig.AnswerBox(kPowerCycle, UploaderRig::kRightmost);
  rig.AnswerBox(kRecoveryFound, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("P143beta.hex - Beta Node beta - online: true", 5000));
  rig.TouchRow(0);
  ASSERT_TRUE(rig.WaitForLogLine("Press Start To Program", 5000, 2));
  rig.Touch(kStartX, kStartY);
  rig.AnswerBox(kWarning, UploaderRig::kRightmost);
  rig.AnswerBox(kComplete, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";

  auto lines = rig.LogLines();
  auto recovery = std::find(lines.begin(), lines.end(), "Enter start recovery mode");
  ASSERT_NE(recovery, lines.end());
  std::vector<std::string> after(recovery, lines.end());
  EXPECT_EQ(std::count(after.begin(), after.end(), kRecoveryQuestion), 0) << "the question is never logged";
  EXPECT_NE(std::find(after.begin(), after.end(), kRecoveryFound), after.end());
  EXPECT_NE(std::find(after.begin(), after.end(), "ST10 MODE - node is in bootloader mode"), after.end());
  EXPECT_EQ(std::count_if(after.begin(), after.end(),
                          [](const std::string& l) { return l.rfind("Sending bootloader", 0) == 0; }),
            0);
}

TEST(RecoveryTest, NoAnnouncementMeansNothingToRecover) {
  UploaderRig rig;
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10"});
  rig.StartUploader();
  rig.Touch(kRecovX, kRecovY);
  ASSERT_TRUE(rig.WaitForLogLine("Recovery Mode", 5000));
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kRightmost);
  rig.AnswerBox(kPowerCycle, UploaderRig::kRightmost);
  rig.AnswerBox(kNothingToRecover, UploaderRig::kRightmost);
  ASSERT_TRUE(rig.WaitForLogLine(kNothingToRecover, 5000));
  auto lines = rig.LogLines();
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), "") >= 1) << "the status is cleared at the end";
  EXPECT_EQ(lines.back(), "");
}

TEST(RecoveryTest, DecliningTheQuestionShowsNoFurtherBox) {
  UploaderRig rig;
  rig.StartUploader();
  rig.Touch(kRecovX, kRecovY);
  ASSERT_TRUE(rig.WaitForLogLine("Enter start recovery mode", 5000));
  rig.AnswerBox(kRecoveryQuestion, UploaderRig::kSecondFromRight);  // NO
  ASSERT_TRUE(rig.WaitForLogLine("", 5000));
  auto lines = rig.LogLines();
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), kPowerCycle), 0);
}

}  // namespace
