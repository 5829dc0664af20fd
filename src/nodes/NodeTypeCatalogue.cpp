#include "nodes/NodeTypeCatalogue.h"

#include <algorithm>
#include <array>

namespace {

using Button = NodeTypeCatalogue::Button;

constexpr std::array<Button, 10> kNodeButtons{{
    {"Node0", "Node 1", 0, 0}, {"Node1", "Node 2", 1, 1}, {"Node2", "Node 3", 2, 2}, {"Node3", "Node 4", 3, 3},
    {"Node4", "Node 5", 4, 4}, {"Node5", "Node 6", 5, 5}, {"Node6", "Node 7", 6, 6}, {"Node7", "Node 8", 7, 7},
    {"Node8", "Node 9", 8, 8}, {"Node9", "Node 10", 9, 9},
}};
constexpr std::array<Button, 2> kXiButtons{{{"XiNode1", "Node 1", 0, 0}, {"XiNode2", "Node 2", 1, 1}}};
constexpr std::array<Button, 5> kRhoButtons{{
    {"Rho1", "Rho 1", 0, 0}, {"Rho2", "Rho 2", 1, 1}, {"Rho3", "Rho 3", 2, 2}, {"Rho4", "Rho 4", 3, 3},
    {"Rho5", "Rho 5", 4, 4},
}};
constexpr std::array<Button, 5> kPsiButtons{{
    {"Psi1", "Nu 1", 0, 0}, {"Psi2", "Nu 2", 1, 1}, {"Psi3", "Nu 3", 2, 2}, {"Psi4", "Nu 4", 3, 3},
    {"Psi5", "Omicron", 4, 4},
}};
// The generic buttons a node on program 251 leaves out: the first three.
constexpr size_t kButtonsHiddenBy251 = 3;

struct Group {
  int32_t code;
  std::span<const Button> buttons;
  bool generic;  // the ten "Node" buttons, which program 251 cuts short
};

constexpr std::array<Group, 6> kGroups{{
    {1, kNodeButtons, true},
    {23, kXiButtons, false},
    {28, kRhoButtons, false},
    {34, kNodeButtons, true},
    {44, kPsiButtons, false},
    {NodeTypeCatalogue::kUnknownType, kNodeButtons, true},
}};

struct NodeType {
  std::string_view prefix;
  int32_t code;
};

constexpr std::array<NodeType, 25> kNodeTypes{{
    {"Alpha Node", 1},       {"Upsilon Node", 1}, {"Chi Node", 1},      {"Beta Node", 11},
    {"Gamma Node", 12},      {"Delta Node", 13},  {"Omega Node", 13},   {"Epsilon Node", 14},
    {"Zeta Node", 15},       {"Eta Node", 16},    {"Theta Node", 17},   {"Iota Node", 18},
    {"Kappa Node", 19},      {"Lambda Node", 20}, {"Mu Switchbox", 21}, {"Nu Node", 22},
    {"Xi Node", 23},         {"Omicron Node", 25}, {"Pi Switchbox", 26}, {"Gamma-Beta Node", 27},
    {"Rho Node", 28},        {"Sigma Node", 33},  {"Tau Node", 34},     {"Phi Node", 34},
    {"Psi Node", 44},
}};

const Group* FindGroup(int32_t code) {
  auto group = std::find_if(kGroups.begin(), kGroups.end(), [code](const Group& g) { return g.code == code; });
  return group == kGroups.end() ? nullptr : &*group;
}

}  // namespace

int32_t NodeTypeCatalogue::CodeFor(std::string_view displayName) {
  for (const NodeType& type : kNodeTypes)
    if (displayName.starts_with(type.prefix)) return type.code;
  return kUnknownType;
}

bool NodeTypeCatalogue::IsGroupCode(int32_t code) { return FindGroup(code) != nullptr; }

std::vector<std::string> NodeTypeCatalogue::KeysFor(int32_t code, bool program251Seen) {
  if (code == kStartOnly) return {"Start"};
  const Group* group = FindGroup(code);
  if (!group) return {};
  std::span<const Button> shown = group->buttons;
  if (group->generic && program251Seen) shown = shown.subspan(kButtonsHiddenBy251);
  std::vector<std::string> keys;
  for (const Button& button : shown) keys.emplace_back(button.key);
  keys.emplace_back("All");
  return keys;
}

std::vector<NodeTypeCatalogue::Button> NodeTypeCatalogue::EveryNodeButton() {
  std::vector<Button> every;
  for (const Group& group : kGroups)
    for (const Button& button : group.buttons)
      if (std::none_of(every.begin(), every.end(), [&](const Button& b) { return b.key == button.key; }))
        every.push_back(button);
  return every;
}

std::vector<std::string> NodeTypeCatalogue::AllKeys() {
  std::vector<std::string> keys;
  for (const Button& button : EveryNodeButton()) keys.emplace_back(button.key);
  keys.insert(keys.end(), {"Start", "All"});
  return keys;
}

int32_t NodeTypeCatalogue::SlotOffset(std::string_view key) {
  for (const Group& group : kGroups)
    for (const Button& button : group.buttons)
      if (button.key == key) return button.offset;
  return -1;
}
