#include <gtest/gtest.h>

#include <algorithm>

#include "UploaderRig.h"
#include "graphics/DeviceContext.h"
#include "graphics/Font.h"

namespace {

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// The firmware line as the screen must draw it: grey Arial 15 at (2, 619).
bool ShowsFirmwareVersion(const Surface& shot, int version) {
  Surface expected(480, 640);
  DeviceContext dc(&expected);
  Font font("Arial", 15);
  dc.SelectFont(&font);
  dc.SetBkMode(kTransparent);
  dc.SetTextColor(RGB(192, 192, 192));
  std::string text = "Firmware Version: " + std::to_string(version);
  Rect where{4, 619, 480, 640};
  dc.DrawText(text.c_str(), -1, where, kTextSingleLine);
  for (int y = 619; y < 640; ++y)
    for (int x = 0; x < 240; ++x)
      if (shot.Pixel(x, y) != expected.Pixel(x, y)) return false;
  return true;
}

TEST(DiscoveryTest, AsksAllSlotsAndLogsEveryAnswer) {
  UploaderRig rig;
  rig.StartBench({"--info", "261,1,2,3,4", "--node", "address=0x01,program=149,boot=atmel", "--node",
                  "address=0x30,program=279,boot=st10", "--node", "address=0x20,program=300,boot=st10"});
  rig.StartUploader();
  auto lines = rig.LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Date: ", 0), 0u);
  EXPECT_NE(lines[0].find(" - Ver: 1.4.1.0"), std::string::npos);
  EXPECT_EQ(lines[1], "Sending Cal Request:");
  EXPECT_EQ(Count(lines, "Tx - Node Num: 1, Node ID: 18EF0110, Node Name: Alpha Node 1"), 1);
  EXPECT_EQ(Count(lines, "Tx - Node Num: 48, Node ID: 18EF3510, Node Name: Omicron Node"), 1);
  int requests = static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                                [](const std::string& l) { return l.rfind("Tx - Node Num: ", 0) == 0; }));
  EXPECT_EQ(requests, 48);
  // One node at 0x30 answers for every slot at that address; 0x01 for three.
  for (int slot : {12, 13, 20, 23, 27, 34})
    EXPECT_EQ(Count(lines, "Rx - Node Num: " + std::to_string(slot) + ", Node ID: 18EF1030, Node Prog: 279"), 1) << slot;
  for (int slot : {1, 22, 44})
    EXPECT_EQ(Count(lines, "Rx - Node Num: " + std::to_string(slot) + ", Node ID: 18EF1001, Node Prog: 149"), 1) << slot;
  for (int slot : {11, 21, 26})
    EXPECT_EQ(Count(lines, "Rx - Node Num: " + std::to_string(slot) + ", Node ID: 18EF1020, Node Prog: 300"), 1) << slot;
  auto shot = rig.Screenshot("main-screen");
  ASSERT_TRUE(shot);
  EXPECT_TRUE(ShowsFirmwareVersion(*shot, 261));
}

// Dropped Acks are left out on purpose: after an isolated Ack time-out the
// link reopens its channel and holds the next request until the one after it
// is queued, so that slot's answer can arrive after the query moved on.
TEST(DiscoveryTest, LineFaultsStillFindEveryNode) {
  UploaderRig rig;
  rig.StartBench({"--nak-every", "7", "--reopen-every", "11", "--garbage", "3", "--bad-checksum", "20", "--chatter", "4",
                  "--node", "address=0x01,program=149,boot=atmel", "--node", "address=0x30,program=279,boot=st10"});
  rig.StartUploader();
  auto lines = rig.LogLines();
  for (int slot : {1, 22, 44})
    EXPECT_EQ(Count(lines, "Rx - Node Num: " + std::to_string(slot) + ", Node ID: 18EF1001, Node Prog: 149"), 1) << slot;
  for (int slot : {12, 13, 20, 23, 27, 34})
    EXPECT_EQ(Count(lines, "Rx - Node Num: " + std::to_string(slot) + ", Node ID: 18EF1030, Node Prog: 279"), 1) << slot;
}

TEST(DiscoveryTest, WithoutGatewayTheScreenStillComesUp) {
  UploaderRig rig;
  rig.AddHexFile("P149alpha.hex", ":00000001FF\r\n");
  rig.StartUploader();
  auto lines = rig.LogLines();
  EXPECT_EQ(Count(lines, "P149alpha.hex - Alpha Node alpha - online: false"), 1);
  auto shot = rig.Screenshot("no-gateway");
  ASSERT_TRUE(shot);
  EXPECT_TRUE(ShowsFirmwareVersion(*shot, 0));
  rig.Touch(434, 580);
  ASSERT_TRUE(rig.WaitForUploaderExit(10000));
  EXPECT_EQ(rig.MenuArguments(), "displayProgramList\n");
}

}  // namespace
