#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {


bool Logged(const UploaderRig& rig, const std::string& line) {
  auto lines = rig.LogLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr int kNodeColumns[] = {73, 139, 205, 271, 337};
constexpr int kUpperRow = 410, kLowerRow = 480;

class MainScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
    rig.AddHexFile("P279tau.hex", ":00000001FF\r\n");
    rig.AddHexFile("P143beta.hex", ":00000001FF\r\n");
    rig.AddHexFile("P150offline.hex", ":00000001FF\r\n");
  }

  UploaderRig rig;
};

TEST_F(MainScreenTest, ListsOnlineFilesAndOffersTheirNodes) {
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel", "--node", "address=0x30,program=279,boot=st10",
                  "--node", "address=0x20,program=143,boot=st10"});
  rig.StartUploader();
  EXPECT_TRUE(Logged(rig, "P149alpha.hex - Alpha Node alpha - online: true"));
  EXPECT_TRUE(Logged(rig, "P279tau.hex - Tau Node tau - online: true"));
  EXPECT_TRUE(Logged(rig, "P143beta.hex - Beta Node beta - online: true"));
  EXPECT_TRUE(Logged(rig, "P150offline.hex - Beta Node (Make A) offline - online: false"));
  auto start = rig.Screenshot("01-start");
  ASSERT_TRUE(start);
  for (int x : kNodeColumns) EXPECT_FALSE(UploaderRig::ShowsButtonAt(*start, x, kUpperRow));
  EXPECT_TRUE(UploaderRig::ShowsButtonAt(*start, 403, 550));  // Exit
  EXPECT_TRUE(UploaderRig::ShowsButtonAt(*start, 7, 550));    // Recov.

  rig.SelectFile("P149alpha.hex", "Select Node To Program");
  auto group = rig.Screenshot("02-alpha-group");
  ASSERT_TRUE(group);
  for (int x : kNodeColumns) {
    EXPECT_TRUE(UploaderRig::ShowsButtonAt(*group, x, kUpperRow)) << x;
    EXPECT_TRUE(UploaderRig::ShowsButtonAt(*group, x, kLowerRow)) << x;
  }
  EXPECT_FALSE(UploaderRig::ShowsButtonAt(*group, 403, 485));  // no Start for a group

  rig.SelectFile("P143beta.hex", "Press Start To Program");
  auto single = rig.Screenshot("03-beta-start");
  ASSERT_TRUE(single);
  EXPECT_TRUE(UploaderRig::ShowsButtonAt(*single, 403, 485));
  for (int x : kNodeColumns) EXPECT_FALSE(UploaderRig::ShowsButtonAt(*single, x, kUpperRow));

  rig.Touch(434, 580);  // Exit
  ASSERT_TRUE(rig.WaitForUploaderExit(10000));
  EXPECT_EQ(rig.MenuArguments(), "displayProgramList\n");
  EXPECT_EQ(rig.LogLines().back(), "Press Start To Program");
}

TEST_F(MainScreenTest, AProgram251NodeHidesTheFirstThreeNodeButtons) {
  rig.StartBench({"--node", "address=0x01,program=149,boot=atmel", "--node", "address=0x02,program=251,boot=st10"});
  rig.StartUploader();
  rig.SelectFile("P149alpha.hex", "Select Node To Program");
  auto group = rig.Screenshot("alpha-group-251");
  ASSERT_TRUE(group);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(UploaderRig::ShowsButtonAt(*group, kNodeColumns[i], kUpperRow)) << i;
  for (int i = 3; i < 5; ++i) EXPECT_TRUE(UploaderRig::ShowsButtonAt(*group, kNodeColumns[i], kUpperRow)) << i;
  for (int x : kNodeColumns) EXPECT_TRUE(UploaderRig::ShowsButtonAt(*group, x, kLowerRow)) << x;
}

TEST(MainScreenStartTest, StartBeyondRowFiftyIsRefused) {
  UploaderRig rig;
  for (int i = 0; i < 52; ++i) rig.AddHexFile("P143file" + std::to_string(100 + i) + ".hex", ":00000001FF\r\n");
  rig.StartBench({"--node", "address=0x20,program=143,boot=st10"});
  rig.StartUploader();
  for (int page = 0; page < 7; ++page) rig.Touch(450, 380);  // page down to rows 49..55
  rig.TouchRow(51 - 49);
  ASSERT_TRUE(rig.WaitForLogLine("Press Start To Program", 5000));
  rig.Touch(435, 517);  // Start
  rig.AnswerBox("Invalid hex file, select another hex file to program.", UploaderRig::kRightmost);
  auto lines = rig.LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "ERROR: An unsuported hex file was selected");
  EXPECT_EQ(lines.back(), "Invalid hex file, select another hex file to program.");
  EXPECT_FALSE(Logged(rig, "Programming... Please Wait"));
}

}  // namespace
