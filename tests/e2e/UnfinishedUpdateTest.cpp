#include <gtest/gtest.h>

#include "OperatorTexts.h"
#include "PollUntil.h"
#include "UploaderRig.h"

namespace {

// The ST10 node's bootloader announces itself when its power returns; the
// offer at the next start finds it so and finishes the update.
TEST(UnfinishedUpdate, AnSt10UpdateCutByAPowerLossIsFinishedAfterAPowerCycle) {
  UploaderRig rig;
  std::string image = rig.MakeImageFile("P279tau.hex", 32768, 22);
  rig.StartRun({"address=0x30,program=279,boot=st10"}, "P279tau.hex", 1);  // "Tau 1": slot 34
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming...", 30000));
  rig.KillUploader();

  rig.StartUploader();
  ASSERT_TRUE(rig.WaitForLogLine("Unfinished update: Tau Node 1, P279tau.hex", 5000));
  rig.AnswerBox("The update of Tau Node 1 with P279tau.hex did not finish. Would you like to program that node with "
                "that file now?",
                UploaderRig::kYes);
  rig.BenchCommand("power-on 0x30");  // asked for by the power-cycle box; the bootloader announces itself
  const auto announced = [&] { return rig.BusTrace().rfind("F1#D001") != rig.BusTrace().find("F1#D001"); };
  ASSERT_TRUE(PollUntil(announced, 5000));
  rig.AnswerBox(kPowerCycle, UploaderRig::kOk);
  ASSERT_TRUE(rig.CompleteRun(240000));
  EXPECT_TRUE(rig.FlashDump(0x30) == image) << "the flash differs from the file";
  EXPECT_TRUE(rig.WaitForLogLine("P279tau.hex - Tau Node tau - online: true", 1000)) << "the node runs its program";
  EXPECT_FALSE(rig.HasUpdateRecord(34));
}

}  // namespace
