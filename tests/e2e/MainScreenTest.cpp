#include <gtest/gtest.h>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

// More files than the program can start: the list pages on to show them
// all, but a file beyond row fifty is refused before anything is sent, while
// the one at row fifty is taken. It holds no data, so the run taken stops at
// the file check and sends nothing either. Exit touched the moment that run's
// final status is logged hands over every time: the run lets go of the
// screen in the same step that shows it.
TEST(MainScreenTest, ExitTheMomentARunEndsHandsOverAndAFileBeyondRowFiftyIsRefused) {
  UploaderRig rig;
  for (int i = 0; i < 52; ++i) rig.AddHexFile("P143file" + std::to_string(100 + i) + ".hex", ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10"});
  for (int start = 1; start <= 5; ++start) {
    rig.StartUploader();
    for (int page = 0; page < 7; ++page) rig.TouchPageDown();  // rows 49..55
    rig.TouchListRow(51 - 49);
    ASSERT_TRUE(rig.WaitForLogLine(kPressStart, 5000));
    rig.TouchStart();
    rig.AnswerBox(kInvalidHexFile, UploaderRig::kOk);
    auto lines = rig.LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "ERROR: An unsuported hex file was selected");
    EXPECT_EQ(lines.back(), kInvalidHexFile);

    rig.TouchListRow(50 - 49);
    ASSERT_TRUE(rig.WaitForLogLine(kPressStart, 5000, 2));
    rig.TouchStart();
    rig.AnswerBox(kDamaged, UploaderRig::kOk);
    ASSERT_TRUE(rig.TouchWhenLogged(UploaderRig::kExit, "Programming... Failed", 10000)) << "start " << start;
    ASSERT_TRUE(rig.WaitForUploaderExit(5000)) << "Exit was lost at start " << start;
    const auto run = rig.RunLines();
    ASSERT_FALSE(run.empty());
    EXPECT_TRUE(run.front().starts_with("Enter Programming - Selected node name: P143file1")) << run.front();
  }
  EXPECT_EQ(rig.BusTrace().find("#F1"), std::string::npos) << "a bootloader command went out";
}

}  // namespace
