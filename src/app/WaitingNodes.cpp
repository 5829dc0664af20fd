#include "app/WaitingNodes.h"

#include <algorithm>
#include <optional>

#include "firmware/UnfinishedUpdate.h"

void WaitingNodes::NoteAnswering() {
  for (const NodeSlot& slot : NodeTable) answeredOnce_[slot.number - 1] |= slot.program != 0;
}

std::vector<int32_t> WaitingNodes::Others(int32_t slot, int32_t bootloader) {
  const std::vector<RunRules::Pending> pending = PendingUpdates();
  return RunRules::OthersThatMayWait(slot, bootloader, pending, StoppedAnswering(pending));
}

std::vector<RunRules::Pending> WaitingNodes::PendingUpdates() {
  std::vector<RunRules::Pending> pending;
  for (const NodeSlot& slot : NodeTable) {
    if (slot.program != 0) continue;
    if (std::optional<UnfinishedUpdate> record = UnfinishedUpdate::Load(slot.number))
      pending.push_back({static_cast<int32_t>(slot.number), record->bootloader});
  }
  return pending;
}

// Slots that share a response identifier are one node, and a node with a
// pending update is already named by its record: one slot per other node.
std::vector<int32_t> WaitingNodes::StoppedAnswering(const std::vector<RunRules::Pending>& pending) {
  std::vector<uint32_t> nodes;
  for (const RunRules::Pending& update : pending)
    if (const NodeSlot* slot = FindNodeSlot(update.slot)) nodes.push_back(slot->responseIdentifier);
  std::vector<int32_t> stopped;
  for (const NodeSlot& slot : NodeTable) {
    if (!answeredOnce_[slot.number - 1] || slot.program != 0) continue;
    if (std::find(nodes.begin(), nodes.end(), slot.responseIdentifier) != nodes.end()) continue;
    nodes.push_back(slot.responseIdentifier);
    stopped.push_back(static_cast<int32_t>(slot.number));
  }
  return stopped;
}

std::string WaitingNodes::Names(const std::vector<int32_t>& slots) {
  std::string names;
  for (int32_t number : slots) {
    const NodeSlot* slot = FindNodeSlot(number);
    names += (names.empty() ? "" : ", ") + std::string(slot ? slot->name : "?");
  }
  return names;
}
