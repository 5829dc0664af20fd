#include <gtest/gtest.h>

#include <string>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

std::string Offer(const std::string& label, const std::string& file) {
  return "The update of " + label + " with " + file +
         " did not finish. Would you like to program that node with that file now?";
}

TEST(UnfinishedUpdate, AnAtmelUpdateCutByAPowerLossIsFinishedAtTheNextStart) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P266rho.hex", 0x2003, 21);
  rig.StartRun({"address=0x69,program=266,boot=atmel"}, "P266rho.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming", 30000));
  rig.KillUploader();
  rig.BenchCommand("power-off 0x69");
  rig.BenchCommand("power-on 0x69");  // erased: back in its bootloader, silent

  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Rho Node 1, P266rho.hex", 5000));
  rig.AnswerBox(Offer("Rho Node 1", "P266rho.hex"), UploaderRig::kYes);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 90000));
  EXPECT_TRUE(rig.FlashDump(0x69) == image) << "the flash differs from the file";
  EXPECT_TRUE(rig.WaitForLogLine("P266rho.hex - Rho Node rho - online: true", 1000)) << "the node runs its program";
  EXPECT_FALSE(rig.HasUpdateRecord(28));
}

TEST(UnfinishedUpdate, AnSt10UpdateCutByAPowerLossIsFinishedAfterAPowerCycle) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P279tau.hex", 32768, 22);
  rig.StartRun({"address=0x30,program=279,boot=st10"}, "P279tau.hex", 1);  // "Tau 1": slot 34
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming...", 30000));
  rig.KillUploader();

  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Tau Node 1, P279tau.hex", 5000));
  rig.AnswerBox(Offer("Tau Node 1", "P279tau.hex"), UploaderRig::kYes);
  rig.BenchCommand("power-on 0x30");  // asked for by the power-cycle box; the bootloader announces itself
  const auto announced = [&] { return rig.BusTrace().rfind("F1#D001") != rig.BusTrace().find("F1#D001"); };
  ASSERT_TRUE(PollUntil(announced, 5000));
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 240000));
  EXPECT_TRUE(rig.FlashDump(0x30) == image) << "the flash differs from the file";
  EXPECT_TRUE(rig.WaitForLogLine("P279tau.hex - Tau Node tau - online: true", 1000)) << "the node runs its program";
  EXPECT_FALSE(rig.HasUpdateRecord(34));
}

}  // namespace
