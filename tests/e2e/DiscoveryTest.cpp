#include <gtest/gtest.h>

#include <algorithm>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

// Every fault of the line, lost Acks included, during the whole query: each
// node must still be found in each of its slots, and the screen, with the
// gateway's firmware version and an Alpha Node file selected, must look
// exactly as the golden picture.
TEST(DiscoveryTest, LineFaultsStillFindEveryNodeAndTheScreenShowsThem) {
  UploaderRig rig;
  for (const char* file : {"P149alpha.hex", "P279tau.hex", "P150offline.hex"}) rig.AddHexFile(file, ":00000001FF\r\n");
  rig.StartBench({"--info", "261,1,2,3,4", "--drop-ack", "5", "--nak-every", "7", "--reopen-every", "11", "--garbage",
                  "3", "--bad-checksum", "20", "--chatter", "4", "--node", "address=0x01,program=149,boot=atmel", "--node",
                  "address=0x30,program=279,boot=st10"});
  rig.StartUploader();
  auto lines = rig.LogLines();
  auto answers = [&](int slot, const std::string& rest) {
    return std::count(lines.begin(), lines.end(), "Rx - Node Num: " + std::to_string(slot) + ", Node ID: " + rest);
  };
  for (int slot : {1, 22, 44}) EXPECT_EQ(answers(slot, "18EF1001, Node Prog: 149"), 1) << slot;
  for (int slot : {12, 13, 20, 23, 27, 34}) EXPECT_EQ(answers(slot, "18EF1030, Node Prog: 279"), 1) << slot;
  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.ExpectGoldenScreen("alpha-selected");
}

}  // namespace
