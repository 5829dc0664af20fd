// "All": every node of the shown group that the file suits, one after the
// other in one run, with one warning before the first and one report after
// the last.
#include "app/MainScreen.h"

#include "app/Format.h"
#include "app/NodeBatch.h"
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
  // Only nodes that answered the last query with the file's own program are
  // in the batch: nobody chose them one by one.
  const int32_t fileProgram = FileProgramNumber(selectedFileName_);
  NodeBatch batch;
  for (int32_t number : slots) {
    NodeSlot* slot = FindNodeSlot(number);
    if (slot && slot->program != 0 && FileSuitsSlot(fileProgram, number, false)) batch.Add(number, slot->name);
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
  // A node that fails, retries declined, leaves the others to be programmed,
  // unless it (or any node) waits in a bootloader: it would take every
  // command of the next node on the bootloaders' shared identifiers, so the
  // batch stops there.
  bool waiting = false;
  timeLeft_.StartBatch(static_cast<int>(batch.Nodes().size()));
  for (NodeBatch::Node& node : batch.Nodes()) {
    if (!waiting) {
      Log(Format("Enter Programming - Selected node name: %s, selected node number: %d", selectedFileName_.c_str(),
                 node.slot)
              .c_str());
      timeLeft_.NextNode();
      const NodeOutcome outcome = ProgramNode(node.slot, false);
      node.programmed = LeftBootloader(outcome == NodeOutcome::kProgrammed);
      waiting = outcome == NodeOutcome::kNotSent;
    }
    if (waiting) Log(Format("Not programmed, a node waits in its bootloader: %s", node.name.c_str()).c_str());
  }
  timeLeft_.EndBatch();
  if (waiting) batch.SetNote("A node waits in its bootloader: recover it first with Recov.");
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
