#include "nodes/NodeTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nodes/DiscoveryFlags.h"

namespace {

struct SlotRow {
  std::string label;
  uint32_t address;
};

// The slot rows written out from the node positions an implement can have.
std::vector<SlotRow> ExpectedSlots() {
  std::vector<SlotRow> rows;
  for (uint32_t n = 1; n <= 10; ++n) rows.push_back({"Alpha Node " + std::to_string(n), n});
  const std::vector<SlotRow> middle{
      {"Beta Node", 0x20},    {"Gamma Node", 0x30},    {"Delta Node", 0x30},      {"Epsilon Node", 0x40},
      {"Zeta Node", 0x60},    {"Eta Node", 0x70},      {"Theta Node", 0x70},      {"Iota Node", 0x22},
      {"Kappa Node", 0x90},   {"Lambda Node", 0x30},   {"Mu SwitchBox", 0x20},    {"Nu Node", 0x01},
      {"Xi_Node 1", 0x30},    {"Xi_Node 2", 0x31},     {"Omicron Node", 0x35},    {"Pi SwitchBox", 0x20},
      {"Gamma-Beta Node", 0x30},
  };
  rows.insert(rows.end(), middle.begin(), middle.end());
  for (uint32_t n = 1; n <= 5; ++n) rows.push_back({"Rho Node " + std::to_string(n), 0x68 + n});
  rows.push_back({"Sigma Node", 0x72});
  for (uint32_t n = 1; n <= 10; ++n) rows.push_back({"Tau Node " + std::to_string(n), 0x2F + n});
  for (uint32_t n = 1; n <= 4; ++n) rows.push_back({"Nu Node " + std::to_string(n), n});
  rows.push_back({"Omicron Node", 0x35});
  return rows;
}

class NodeTableTest : public ::testing::Test {
 protected:
  void SetUp() override { InitNodeTable(); }
};

TEST_F(NodeTableTest, EverySlotHasItsLabelNumberAndJ1939Identifiers) {
  const std::vector<SlotRow> expected = ExpectedSlots();
  ASSERT_EQ(expected.size(), static_cast<size_t>(kNodeSlotCount));
  for (int index = 0; index < kNodeSlotCount; ++index) {
    SCOPED_TRACE(index + 1);
    const NodeSlot& slot = NodeTable[index];
    EXPECT_EQ(slot.name, expected[index].label);
    EXPECT_EQ(slot.number, static_cast<uint32_t>(index + 1));
    EXPECT_EQ(slot.requestIdentifier, 0x18EF0010 + expected[index].address * 256);
    EXPECT_EQ(slot.responseIdentifier, 0x18EF1000 + expected[index].address);
    EXPECT_EQ(slot.flag, 0);
    EXPECT_EQ(slot.program, 0u);
  }
}

class SharedAddressTest : public ::testing::TestWithParam<std::vector<int>> {};

TEST_P(SharedAddressTest, SlotsOfOneNodeShareBothIdentifiers) {
  InitNodeTable();
  const std::vector<int>& slots = GetParam();
  const NodeSlot& first = *FindNodeSlot(slots.front());
  for (int number : slots) {
    SCOPED_TRACE(number);
    EXPECT_EQ(FindNodeSlot(number)->requestIdentifier, first.requestIdentifier);
    EXPECT_EQ(FindNodeSlot(number)->responseIdentifier, first.responseIdentifier);
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, SharedAddressTest,
                         ::testing::Values(std::vector<int>{12, 13, 20, 23, 27, 34}, std::vector<int>{1, 22, 44},
                                           std::vector<int>{2, 45}, std::vector<int>{3, 46}, std::vector<int>{4, 47},
                                           std::vector<int>{24, 35}, std::vector<int>{25, 39, 48},
                                           std::vector<int>{11, 21, 26}, std::vector<int>{16, 17}));

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

TEST_F(NodeTableTest, FindsSlotsOnlyByNumbersOneToFortyEight) {
  EXPECT_EQ(FindNodeSlot(1), &NodeTable[0]);
  EXPECT_EQ(FindNodeSlot(48), &NodeTable[47]);
  for (int number : {-1, 0, 49, 99, 108}) EXPECT_EQ(FindNodeSlot(number), nullptr) << number;
}

TEST_F(NodeTableTest, FirstSlotWithProgramSearchesFromSlotOne) {
  EXPECT_EQ(FirstSlotWithProgram(0), 1) << "no node has answered yet";
  NodeTable[43].program = 279;
  NodeTable[21].program = 279;
  EXPECT_EQ(FirstSlotWithProgram(279), 22);
  EXPECT_EQ(FirstSlotWithProgram(280), 0);
  EXPECT_EQ(FirstSlotWithProgram(-1), 0);
}

}  // namespace
