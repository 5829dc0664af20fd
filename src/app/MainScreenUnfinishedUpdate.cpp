// An update that a power cut, a killed program or a failed run left
// unfinished: once the screen is up, its node is offered again with the
// same file, and programmed as in recovery mode.
#include "app/MainScreen.h"
#include "atmel/AtmelProgrammer.h"
#include "console/ProgramState.h"
#include "firmware/UnfinishedUpdate.h"
#include "nodes/NodeTable.h"

namespace {

bool AnyRecord() {
  for (int32_t slot = 1; slot <= kNodeSlotCount; ++slot)
    if (UnfinishedUpdate::Exists(slot)) return true;
  return false;
}

}  // namespace

// On a worker of the kind a run uses, since the boxes wait for the operator
// and the run that may follow must not hold up painting.
void MainScreen::StartUnfinishedUpdates() {
  if (!AnyRecord() || !ClaimWork()) return;
  worker_.Start([this] { OfferUnfinishedUpdates(); });
}

// A run finishes its own work; the next offer goes on only if no touch,
// requery or Exit took the screen meanwhile.
void MainScreen::OfferUnfinishedUpdates() {
  for (int32_t slot = 1; slot <= kNodeSlotCount; ++slot) {
    if (OfferUnfinishedUpdate(slot) && !ClaimWork()) return;
  }
  FinishWork(nullptr);
}

// True when a run was started for the slot.
bool MainScreen::OfferUnfinishedUpdate(int32_t slot) {
  std::optional<UnfinishedUpdate> record = UnfinishedUpdate::Load(slot);
  if (!record) return false;
  const std::string what = record->label + ", " + record->fileName;
  const NodeSlot* node = FindNodeSlot(slot);
  if (node && node->program != 0) {  // it runs a program again: someone finished it
    Log(("Unfinished update finished elsewhere: " + what).c_str());
    ForgetUpdate(slot);
    return false;
  }
  Log(("Unfinished update: " + what).c_str());
  // Bootloaders of one kind share their identifiers: another node that may
  // wait in one would take the file too, and answer for this one.
  const std::vector<RunRules::Pending> pending = PendingUpdates();
  const std::vector<int32_t> others =
      RunRules::OthersThatMayWait(slot, record->bootloader, pending, StoppedAnswering(pending));
  if (!others.empty()) {
    ShowMessage("RECOVERY MODE", ("The update of " + record->label + " with " + record->fileName +
                                  " did not finish, but more nodes may be waiting in their bootloaders: " +
                                  SlotNames(others) +
                                  ". They would all take this file, so nothing was sent. Recover one node at a time "
                                  "with Recov., with the other nodes unplugged.")
                                     .c_str());
    return false;
  }
  if (!AskYesNo("RECOVERY MODE", ("The update of " + record->label + " with " + record->fileName +
                                  " did not finish. Would you like to program that node with that file now?")
                                     .c_str()))
    return false;
  if (!record->FileUnchanged()) {
    ShowMessage("RECOVERY MODE", ("The hex file " + record->fileName +
                                  " is missing or has changed since the update began. The node was not changed.")
                                     .c_str());
    return false;
  }
  if (!FindRecordedNode(record->bootloader)) {
    ShowMessage("RECOVERY MODE", "There was no node found that needed recovering.");
    return false;
  }
  RecoveryMode = true;
  selectedNodeNumber = slot;
  selectedFileName_ = record->fileName;
  RunProgramming();
  RecoveryMode = false;  // a run that ended before its wrap-up leaves it on
  return true;
}

// An Atmel bootloader answers when asked; an ST10 one only announces itself
// when it starts, so unless it was heard since start-up the node's power is
// cycled. A record cut before the node answered may be either.
bool MainScreen::FindRecordedNode(int32_t bootloader) {
  const auto found = [&] {
    if (bootloader == kSt10Bootloader) return BootloaderAnnounced.load();
    if (bootloader == kAtmelBootloader) return services_.atmel.FindBootloader();
    return FindNodeInBootloader();
  };
  if (found()) return true;
  if (bootloader == kAtmelBootloader) return false;
  AskForPowerCycle();
  return found();
}
