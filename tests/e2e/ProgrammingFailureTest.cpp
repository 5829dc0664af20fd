#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

// A line error on an ST10 node is told, and YES writes the whole file again
// from its start, so that the node's flash ends up the file's image. (The
// Atmel engine's retry is its unit tests' to prove; NO leaving the node is a
// failure row of the run controller's batch table.)
TEST(WriteError, IsMendedByYes) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile("P143beta.hex", 1024, 3);
  rig.StartRun({"address=0x20,program=143,boot=st10,after=143,fault=line-error=3"}, "P143beta.hex", 0);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Checksum Error Line: 3", UploaderRig::kOk);
  rig.AnswerBox(kSt10Retry, UploaderRig::kYes);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  const auto run = rig.RunLines();
  EXPECT_TRUE(InOrder(run, {"Checksum Error Line: 3", kComplete}));
  EXPECT_EQ(std::count(run.begin(), run.end(), "Accessing File"), 2) << "the whole node is written again";
  EXPECT_TRUE(rig.FlashDump(0x20) == image) << "the flash differs from the file";
}

}  // namespace
