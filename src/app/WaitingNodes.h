#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/RunRules.h"
#include "nodes/NodeTable.h"

// What the console knows of nodes that may wait in a bootloader: the updates
// still recorded for silent nodes, and the nodes that answered a query since
// start-up but not the last one. Identical answers of two bootloaders merge
// on the bus, so one answer does not prove one node.
class WaitingNodes {
 public:
  // After every node query.
  void NoteAnswering();
  // The slots besides slot (0: none) whose node may wait in a bootloader of
  // this kind, by the node table of the last query.
  std::vector<int32_t> Others(int32_t slot, int32_t bootloader);
  // "Alpha Node 1, Rho Node 1".
  static std::string Names(const std::vector<int32_t>& slots);

 private:
  static std::vector<RunRules::Pending> PendingUpdates();
  std::vector<int32_t> StoppedAnswering(const std::vector<RunRules::Pending>& pending);

  // By slot - 1; written and read by one worker at a time.
  std::array<bool, kNodeSlotCount> answeredOnce_{};
};
