#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "OperatorTexts.h"
#include "UploaderRig.h"

namespace {

// The Rx lines of each node query in the log, sorted: the replies of one
// query come in whatever order the nodes answer.
std::vector<std::vector<std::string>> RxLinesOfEachQuery(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> queries;
  for (const std::string& line : lines) {
    if (line == "Sending Cal Request:") queries.emplace_back();
    if (line.starts_with("Rx - ") && !queries.empty()) queries.back().push_back(line);
  }
  for (auto& query : queries) std::sort(query.begin(), query.end());
  return queries;
}

std::string RxLine(int slot, int address, int program) {
  char line[80];
  std::snprintf(line, sizeof line, "Rx - Node Num: %d, Node ID: 18EF10%02X, Node Prog: %d", slot, address, program);
  return line;
}

// A node at every distinct address answers within the same few milliseconds:
// no answer may be lost to the gateway's buffer, the link's rings or the log,
// whether the answers come at the bus's pace or all at once. The query after
// a run is checked by the golden runs' logs.
class EveryAddressTest : public ::testing::TestWithParam<std::vector<std::string>> {};

// The node address each slot answers from, slot 1 first.
constexpr int kSlotAddresses[48] = {
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x20, 0x30, 0x30, 0x40, 0x60, 0x70,
    0x70, 0x22, 0x90, 0x30, 0x20, 0x01, 0x30, 0x31, 0x35, 0x20, 0x30, 0x69, 0x6A, 0x6B, 0x6C, 0x6D,
    0x72, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x01, 0x02, 0x03, 0x04, 0x35,
};

TEST_P(EveryAddressTest, EveryNodeIsFoundInEachOfItsSlots) {
  std::vector<std::string> options = GetParam();
  std::set<int> addresses;
  std::vector<std::string> golden;
  for (int slot = 1; slot <= 48; ++slot) {
    const int address = kSlotAddresses[slot - 1];
    if (addresses.insert(address).second)
      options.insert(options.end(), {"--node", "address=" + std::to_string(address) + ",program=" +
                                                   std::to_string(100 + address)});
    golden.push_back(RxLine(slot, address, 100 + address));
  }
  std::sort(golden.begin(), golden.end());
  UploaderRig rig;
  rig.StartBench(options);
  rig.StartUploader();
  EXPECT_EQ(RxLinesOfEachQuery(rig.LogLines()), std::vector<std::vector<std::string>>{golden});
}

INSTANTIATE_TEST_SUITE_P(Timing, EveryAddressTest,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--bus-bitrate", "250000", "--line-baud", "1500000"}),
                         [](const auto& info) { return info.param.empty() ? "AllAtOnce" : "AtTheBusPace"; });

// Every fault of the line, lost Acks included, during the whole query: each
// node must still be found in each of its slots, and the screen, with the
// gateway's firmware version and an Alpha Node file selected, must look
// exactly as the golden picture.
TEST(DiscoveryTest, LineFaultsStillFindEveryNodeAndTheScreenShowsThem) {
  UploaderRig rig;
  for (const char* file : {"P149alpha.hex", "P279tau.hex", "P150offline.hex"}) rig.AddHexFile(file, ":00000001FF\r\n");
  rig.StartBench({"--info", "261,1,2,3,4", "--drop-ack", "5", "--nak-every", "7", "--reopen-every", "11", "--garbage",
                  "3", "--bad-checksum", "20", "--chatter", "4", "--node", "address=0x01,program=149,boot=atmel", "--node",
                  "address=0x30,program=279,boot=st10", "--node", "address=0x39,program=323"});
  rig.StartUploader();
  std::vector<std::string> golden{RxLine(43, 0x39, 323)};  // the last address asked
  for (int slot : {1, 22, 44}) golden.push_back(RxLine(slot, 0x01, 149));
  for (int slot : {12, 13, 20, 23, 27, 34}) golden.push_back(RxLine(slot, 0x30, 279));
  std::sort(golden.begin(), golden.end());
  EXPECT_EQ(RxLinesOfEachQuery(rig.LogLines()), std::vector<std::vector<std::string>>{golden});
  rig.SelectFile("P149alpha.hex", kSelectNode);
  rig.ExpectGoldenScreen("alpha-selected");
}

}  // namespace
