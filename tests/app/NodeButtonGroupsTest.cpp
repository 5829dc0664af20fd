#include "app/NodeButtonGroups.h"

#include <gtest/gtest.h>

#include <set>

#include "nodes/NodeDiscovery.h"

namespace {

using Keys = std::vector<std::string>;

TEST(NodeButtonGroupsTest, GroupCodesAreTheFirstSlotsOfTheirGroups) {
  std::set<int> groups;
  for (int code = -1; code <= 120; ++code)
    if (NodeButtonGroups::IsGroupCode(code)) groups.insert(code);
  EXPECT_EQ(groups, (std::set<int>{1, 23, 28, 34, 44, 99}));
}

TEST(NodeButtonGroupsTest, EachCodeShowsItsButtons) {
  const Keys tenNodes{"Node0", "Node1", "Node2", "Node3", "Node4", "Node5", "Node6", "Node7", "Node8", "Node9"};
  for (int code : {1, 34, 99}) EXPECT_EQ(NodeButtonGroups::KeysFor(code, false), tenNodes) << code;
  EXPECT_EQ(NodeButtonGroups::KeysFor(23, false), (Keys{"XiNode1", "XiNode2"}));
  EXPECT_EQ(NodeButtonGroups::KeysFor(28, false), (Keys{"Rho1", "Rho2", "Rho3", "Rho4", "Rho5"}));
  EXPECT_EQ(NodeButtonGroups::KeysFor(44, false), (Keys{"Psi1", "Psi2", "Psi3", "Psi4", "Psi5"}));
  EXPECT_EQ(NodeButtonGroups::KeysFor(0, false), (Keys{"Start"}));
  for (int code : {5, 11, 25, 48, 100}) EXPECT_TRUE(NodeButtonGroups::KeysFor(code, false).empty()) << code;
}

TEST(NodeButtonGroupsTest, Program251HidesOnlyTheFirstThreeGenericNodes) {
  const Keys fromNode4{"Node3", "Node4", "Node5", "Node6", "Node7", "Node8", "Node9"};
  for (int code : {1, 34, 99}) EXPECT_EQ(NodeButtonGroups::KeysFor(code, true), fromNode4) << code;
  EXPECT_EQ(NodeButtonGroups::KeysFor(23, true).size(), 2u);
  EXPECT_EQ(NodeButtonGroups::KeysFor(44, true).size(), 5u);
}

TEST(NodeButtonGroupsTest, HidingCoversEveryButtonShownAnywhere) {
  std::set<std::string> all(NodeButtonGroups::AllKeys().begin(), NodeButtonGroups::AllKeys().end());
  for (int code : {0, 1, 23, 28, 34, 44, 99})
    for (const auto& key : NodeButtonGroups::KeysFor(code, false)) EXPECT_TRUE(all.count(key)) << key;
  EXPECT_EQ(all.size(), 23u);
  EXPECT_FALSE(all.count("Exit"));
  EXPECT_FALSE(all.count("Recov"));
}

struct Selection {
  const char* displayName;
  const char* key;
  int slot;
};

class SelectedSlotTest : public ::testing::TestWithParam<Selection> {};

// The slot a run addresses: the row's code plus what its button adds.
TEST_P(SelectedSlotTest, ButtonsAddToTheRowsCode) {
  const Selection& s = GetParam();
  NodeDiscovery discovery;
  int code = discovery.SlotForNodeType(s.displayName);
  EXPECT_EQ(code + NodeButtonGroups::SlotOffset(s.key), s.slot);
}

INSTANTIATE_TEST_SUITE_P(Examples, SelectedSlotTest,
                         ::testing::Values(Selection{"Tau Node x", "Node3", 37}, Selection{"Psi Node x", "Psi5", 48},
                                           Selection{"Alpha Node x", "Node0", 1}, Selection{"Alpha Node x", "Node9", 10},
                                           Selection{"Xi Node x", "XiNode2", 24}, Selection{"Rho Node x", "Rho1", 28},
                                           Selection{"Unknown Node P999x", "Node2", 101},
                                           Selection{"Phi Node x", "Node0", 34}));

TEST(NodeButtonGroupsTest, OtherKeysAreNoNodeButtons) {
  for (const char* key : {"Start", "Exit", "Recov", "programSelection", "loadingMsg2", "", "Node"})
    EXPECT_EQ(NodeButtonGroups::SlotOffset(key), -1) << key;
}

}  // namespace
