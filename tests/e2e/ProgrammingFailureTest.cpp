#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(ProgrammingFailure, AMismatchedFileIsRefusedWithNothingSentToTheNode) {
  UploaderRig rig;
  rig.MakeImageFile("P149alpha.hex", 256, 1);
  rig.StartRun({"address=0x01,program=149,boot=atmel"}, "P149alpha.hex", 2);  // slot 2 has no node
  rig.AnswerBox(kRefused, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000));
  EXPECT_TRUE(InOrder(rig.RunLines(), {"program number on hex file [149], program number on node [0].",
                                       "WARNING: program number on hex file [149] does not match program number on node [0].",
                                       kRefused, "Programming... Failed"}));
  EXPECT_EQ(Count(rig.RunLines(), "Sending Cal Request:"), 0);
  EXPECT_EQ(rig.BusTrace().find("#F1"), std::string::npos) << "a bootloader command went out";
}

TEST(ProgrammingFailure, AnSt10LineErrorRetriedWithYesProgramsTheNode) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P143beta.hex", 1024, 3);
  rig.StartRun({"address=0x20,program=143,boot=st10,after=143,fault=line-error=3"}, "P143beta.hex", 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kYes);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
  EXPECT_EQ(Count(rig.RunLines(), "Accessing File"), 2);
}

TEST(ProgrammingFailure, AFailureAnsweredWithNoEndsFailedWithoutAnotherTry) {
  UploaderRig rig;
  rig.MakeImageFile("P143beta.hex", 1024, 4);
  rig.StartRun({"address=0x20,program=143,boot=st10,fault=line-error=2"}, "P143beta.hex", 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Checksum Error Line: 2", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kNo);
  rig.AnswerBox(kNotSuccessful, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 30000));
  auto run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, {"Checksum Error Line: 2", "Resetting", kNotSuccessful, "ST10 Mode - error programming node",
                            "Initializing... Please Wait", "Programming... Failed"}));
  EXPECT_EQ(Count(run, "Accessing File"), 1);
}

}  // namespace
