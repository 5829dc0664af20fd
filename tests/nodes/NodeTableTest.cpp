#include "nodes/NodeTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nodes/DiscoveryFlags.h"

namespace {

class NodeTableTest : public ::testing::Test {
 protected:
  void SetUp() override { InitNodeTable(); }
};

// The console (address 0x10) asks on 0x18EF0010 + address * 256 and the node
// at that address answers on 0x18EF1000 + address.
TEST_F(NodeTableTest, EverySlotAsksAndIsAnsweredAtOneNodeAddress) {
  std::vector<int> atAddress0x30;
  for (int index = 0; index < kNodeSlotCount; ++index) {
    const NodeSlot& slot = NodeTable[index];
    SCOPED_TRACE(index + 1);
    EXPECT_EQ(slot.number, static_cast<uint32_t>(index + 1));
    const uint32_t address = slot.responseIdentifier - 0x18EF1000;
    EXPECT_LT(address, 0x100u);
    EXPECT_EQ(slot.requestIdentifier, 0x18EF0010 + address * 256);
    if (address == 0x30) atAddress0x30.push_back(index + 1);
  }
  EXPECT_EQ(atAddress0x30, (std::vector<int>{12, 13, 20, 23, 27, 34}));
  EXPECT_EQ(NodeTable[0].requestIdentifier, 0x18EF0110u);
  EXPECT_EQ(NodeTable[47].responseIdentifier, 0x18EF1035u);
}

TEST_F(NodeTableTest, SlotsCarryTheirLabels) {
  const std::pair<int, const char*> labels[] = {
      {1, "Alpha Node 1"}, {12, "Gamma Node"}, {23, "Xi_Node 1"}, {26, "Pi SwitchBox"}, {48, "Omicron Node"}};
  for (const auto& [number, label] : labels) EXPECT_STREQ(FindNodeSlot(number)->name, label);
}

TEST_F(NodeTableTest, InitForgetsProgramsFlagsAndDiscoveryState) {
  for (NodeSlot& slot : NodeTable) {
    slot.program = 299;
    slot.flag = 1;
    slot.name[0] = '#';
  }
  queryInProgress = true;
  program251Seen = true;
  InitNodeTable();
  for (const NodeSlot& slot : NodeTable) {
    EXPECT_EQ(slot.program, 0u);
    EXPECT_EQ(slot.flag, 0);
    EXPECT_NE(slot.name[0], '#');
  }
  EXPECT_FALSE(queryInProgress);
  EXPECT_FALSE(program251Seen);
}

TEST_F(NodeTableTest, FindsSlotsByNumberAndTheFirstSlotWithAProgram) {
  EXPECT_EQ(FindNodeSlot(1), &NodeTable[0]);
  EXPECT_EQ(FindNodeSlot(48), &NodeTable[47]);
  for (int number : {-1, 0, 49}) EXPECT_EQ(FindNodeSlot(number), nullptr) << number;
  EXPECT_EQ(FirstSlotWithProgram(0), 1) << "no node has answered yet";
  NodeTable[43].program = 279;
  NodeTable[21].program = 279;
  EXPECT_EQ(FirstSlotWithProgram(279), 22);
  EXPECT_EQ(FirstSlotWithProgram(280), 0);
  EXPECT_EQ(FirstSlotWithProgram(-1), 0);
}

}  // namespace
