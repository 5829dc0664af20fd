// "All": every node of the shown group that the file suits, one after the
// other in one run, with one warning before the first and one report after
// the last.
#include "app/MainScreen.h"

#include "app/Format.h"
#include "app/NodeBatch.h"
#include "can/ProgramState.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "nodes/NodeTypeCatalogue.h"

void MainScreen::RunBatch() {
  const int32_t group = selectedNodeNumber;
  Log(Format("Enter Programming All - Selected node name: %s, node group: %d", selectedFileName_.c_str(), group)
          .c_str());
  std::vector<int32_t> slots = ShownNodeSlots();
  if (group == NodeTypeCatalogue::kUnknownType) {
    WarnUnknownVersion();
    for (int32_t& slot : slots) slot -= NodeTypeCatalogue::kUnknownTypeToSlot;
  }
  // Only nodes that answered the last query are in the batch: the 279 rule
  // alone would take a slot with no node behind it.
  const int32_t fileProgram = FileProgramNumber(selectedFileName_);
  NodeBatch batch;
  for (int32_t number : slots) {
    NodeSlot* slot = FindNodeSlot(number);
    if (slot && slot->program != 0 && FileSuitsSlot(fileProgram, number)) batch.Add(number, slot->name);
  }
  if (batch.Empty()) {
    RefuseRun();
    return;
  }
  if (!IsProgrammableFile()) {
    AbandonRun();
    return;
  }
  ShowMessage("WARNING!!!", batch.Announcement(kWaitWarning).c_str());
  // A node that fails, retries declined, leaves the others to be programmed;
  // but an ST10 node left in its bootloader would answer every command of
  // the next one on the bootloaders' shared identifiers, and could make a
  // failed node look programmed: the ST10 nodes after it are left alone.
  bool st10Waiting = false;
  timeLeft_.StartBatch(static_cast<int>(batch.Nodes().size()));
  for (NodeBatch::Node& node : batch.Nodes()) {
    if (st10Waiting) {
      Log(Format("Not programmed, an ST10 node waits in its bootloader: %s", node.name.c_str()).c_str());
      continue;
    }
    Log(Format("Enter Programming - Selected node name: %s, selected node number: %d", selectedFileName_.c_str(),
               node.slot)
            .c_str());
    timeLeft_.NextNode();
    node.programmed = ProgramNode(node.slot, false);
    st10Waiting = !node.programmed && BootloaderType == kSt10Bootloader;
  }
  timeLeft_.EndBatch();
  ShowMessage(batch.SummaryTitle(), batch.Summary().c_str());
  WrapUpRun(batch.AllProgrammed());
}

// The slots of the node buttons on the screen, in slot order: the group code
// plus each shown button's offset.
std::vector<int32_t> MainScreen::ShownNodeSlots() {
  std::vector<int32_t> slots;
  std::lock_guard lock(widgetLock_);
  for (const NodeTypeCatalogue::Button& shown : NodeTypeCatalogue::EveryNodeButton()) {
    Widget* button = widgets_.Find(std::string(shown.key).c_str());
    if (button && button->IsTouchable()) slots.push_back(selectedNodeNumber + shown.offset);
  }
  return slots;
}
