#include "nodes/NodeTypeCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "RowName.h"

namespace {

struct ButtonCase {
  const char* name;
  const char* shownName;  // the list row's text
  bool program251Seen;
  const char* key;        // the touched button
  int32_t number;         // the selected node number it makes; 0 when the key is not offered
};

// Which node a touch on a row's button selects: the code of the row's node
// type plus the button's offset, for every group, the type that exists once,
// a type not in the table, and the buttons that program 251 hides.
class NodeButtonChoice : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(NodeButtonChoice, SelectsTheSlotOfTheTouchedButton) {
  const ButtonCase& c = GetParam();
  const int32_t code = NodeTypeCatalogue::CodeFor(c.shownName);
  const bool group = NodeTypeCatalogue::IsGroupCode(code);
  const auto keys = NodeTypeCatalogue::KeysFor(group ? code : NodeTypeCatalogue::kStartOnly, c.program251Seen);
  const bool offered = std::find(keys.begin(), keys.end(), c.key) != keys.end();
  EXPECT_EQ(offered ? code + std::max(0, NodeTypeCatalogue::SlotOffset(c.key)) : 0, c.number);
  EXPECT_EQ(group, std::find(keys.begin(), keys.end(), "All") != keys.end()) << "All comes with every group only";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NodeButtonChoice,
    ::testing::Values(ButtonCase{"AlphaNode1", "Alpha Node v0302", false, "Node0", 1},
                      ButtonCase{"AlphaNode10", "Alpha Node v0302", false, "Node9", 10},
                      ButtonCase{"ChiNode1", "Chi Node v0100", false, "Node0", 1},
                      ButtonCase{"TauNode4", "Tau Node v0110", false, "Node3", 37},
                      ButtonCase{"PhiNode10", "Phi Node v0100", false, "Node9", 43},
                      ButtonCase{"XiNode2", "Xi Node v0100", false, "XiNode2", 24},
                      ButtonCase{"Rho5", "Rho Node v0100", false, "Rho5", 32},
                      ButtonCase{"Omicron", "Psi Node v0100", false, "Psi5", 48},
                      ButtonCase{"GammaBetaStart", "Gamma-Beta Node v0100", false, "Start", 27},
                      ButtonCase{"OmegaStart", "Omega Node (Make D)v0100", false, "Start", 13},
                      ButtonCase{"UnknownTypeNode3", "Unknown Node P999x", false, "Node2", 101},
                      ButtonCase{"Program251HidesNode3", "Alpha Node v0302", true, "Node2", 0},
                      ButtonCase{"Program251KeepsNode4", "Tau Node v0110", true, "Node3", 37},
                      ButtonCase{"NoRhoButtonForAlpha", "Alpha Node v0302", false, "Rho1", 0}),
    RowName());

}  // namespace
