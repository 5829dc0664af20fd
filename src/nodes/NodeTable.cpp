#include "nodes/NodeTable.h"

#include <cstdio>

#include "console/DiscoveryFlags.h"

std::array<NodeSlot, kNodeSlotCount> NodeTable;

namespace {

constexpr std::array<const char*, kNodeSlotCount> kLabels{
    "Alpha Node 1", "Alpha Node 2",    "Alpha Node 3", "Alpha Node 4", "Alpha Node 5",  "Alpha Node 6",
    "Alpha Node 7", "Alpha Node 8",    "Alpha Node 9", "Alpha Node 10", "Beta Node",    "Gamma Node",
    "Delta Node",   "Epsilon Node",    "Zeta Node",    "Eta Node",     "Theta Node",    "Iota Node",
    "Kappa Node",   "Lambda Node",     "Mu SwitchBox", "Nu Node",      "Xi_Node 1",     "Xi_Node 2",
    "Omicron Node", "Pi SwitchBox",    "Gamma-Beta Node", "Rho Node 1", "Rho Node 2",   "Rho Node 3",
    "Rho Node 4",   "Rho Node 5",      "Sigma Node",   "Tau Node 1",   "Tau Node 2",    "Tau Node 3",
    "Tau Node 4",   "Tau Node 5",      "Tau Node 6",   "Tau Node 7",   "Tau Node 8",    "Tau Node 9",
    "Tau Node 10",  "Nu Node 1",       "Nu Node 2",    "Nu Node 3",    "Nu Node 4",     "Omicron Node",
};

}  // namespace

void InitNodeTable() {
  for (int index = 0; index < kNodeSlotCount; ++index) {
    NodeSlot& slot = NodeTable[index];
    std::snprintf(slot.name, sizeof slot.name, "%s", kLabels[index]);
    slot.number = static_cast<uint32_t>(index + 1);
    slot.requestIdentifier = kNodeRequestIdentifiers[index];
    slot.responseIdentifier = kNodeResponseIdentifiers[index];
    slot.flag = 0;
    slot.program = 0;
  }
  ResetQueryFlags();
}

NodeSlot* FindNodeSlot(int32_t number) {
  if (number < 1 || number > kNodeSlotCount) return nullptr;
  return &NodeTable[number - 1];
}

int32_t FirstSlotWithProgram(int32_t program) {
  if (program < 0) return 0;
  for (int index = 0; index < kNodeSlotCount; ++index)
    if (NodeTable[index].program == static_cast<uint32_t>(program)) return index + 1;
  return 0;
}
