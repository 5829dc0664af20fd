#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {


// One Atmel node: a byte its flash takes wrongly is found by Verifying and
// mended by YES; then release notes and a file without data, both named like
// its hex files, are refused with nothing sent, and the node keeps its flash
// and answers the next start-up's query as before.
TEST(SafeProgramming, AWriteErrorIsMendedAndFilesThatCannotBeProgrammedLeaveTheNodeAlone) {
  UploaderRig rig;
  const std::string image = rig.MakeImageFile("P149alpha.hex", 512, 7);
  rig.AddHexFile("P149notes.hex", "Release notes: see the service bulletin.\r\n\r\n- starts faster\r\n");
  rig.AddHexFile("P149empty.hex", ":020000040000FA\r\n:00000001FF\r\n");
  rig.StartRun({"address=0x01,program=149,boot=atmel,after=149,fault=bad-byte=0x123"}, "P149alpha.hex", 1);
  rig.AnswerBox(kWarning, UploaderRig::kOk);
  rig.AnswerBox("Verify failed at address 0x0123.", UploaderRig::kOk);
  rig.AnswerBox(kAtmelRetry, UploaderRig::kYes);
  rig.AnswerBox(kComplete, UploaderRig::kOk);
  ASSERT_TRUE(rig.WaitForLogLine("Programming... Finished", 60000));
  ASSERT_TRUE(rig.FlashDump(0x01) == image) << "the flash differs from the file";

  int failed = 0;
  for (const char* file : {"P149notes.hex", "P149empty.hex"}) {
    rig.SelectFile(file, kSelectNode);
    rig.TouchNode(1);
    rig.AnswerBox(kDamaged, UploaderRig::kOk);
    ASSERT_TRUE(rig.WaitForLogLine("Programming... Failed", 10000, ++failed)) << file;
  }
  const std::vector<std::string> run = rig.RunLines();
  EXPECT_EQ(std::count(run.begin(), run.end(), kWarning), 1);
  EXPECT_EQ(std::count(run.begin(), run.end(), kDamaged), 2);
  EXPECT_EQ(Count(rig.BusTrace(), "18EF0110#F1"), 1u) << "a bootloader command went out for a refused file";
  rig.BenchCommand("dump");

  rig.TouchExit();
  ASSERT_TRUE(rig.WaitForUploaderExit(10000));
  rig.StartUploader();
  const std::vector<std::string> query = rig.LogLines();
  EXPECT_NE(std::find(query.begin(), query.end(), "Rx - Node Num: 1, Node ID: 18EF1001, Node Prog: 149"), query.end());
  EXPECT_TRUE(rig.FlashDump(0x01) == image) << "the refused files changed the flash";
}

}  // namespace
