#include "app/UpdateOffer.h"

#include <optional>
#include <string>

#include "app/RecoveryDialogue.h"
#include "app/RunController.h"
#include "app/RunEngines.h"
#include "app/RunHost.h"
#include "app/WaitingNodes.h"
#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "firmware/UnfinishedUpdate.h"
#include "nodes/NodeTable.h"

bool UpdateOffer::AnyRecord() {
  for (int32_t slot = 1; slot <= kNodeSlotCount; ++slot)
    if (UnfinishedUpdate::Exists(slot)) return true;
  return false;
}

void UpdateOffer::OfferAll() {
  for (int32_t slot = 1; slot <= kNodeSlotCount; ++slot) {
    if (Offer(slot) && !parts_.host.ClaimWork()) return;
  }
  parts_.host.FinishWork(nullptr);
}

bool UpdateOffer::Offer(int32_t slot) {
  std::optional<UnfinishedUpdate> record = UnfinishedUpdate::Load(slot);
  if (!record) return false;
  ProgramScreen& screen = parts_.screen;
  const std::string what = record->label + ", " + record->fileName;
  const NodeSlot* node = FindNodeSlot(slot);
  if (node && node->program != 0) {  // it runs a program again: someone finished it
    screen.Log(("Unfinished update finished elsewhere: " + what).c_str());
    parts_.run.Node().ForgetUpdate(slot);
    return false;
  }
  screen.Log(("Unfinished update: " + what).c_str());
  // Bootloaders of one kind share their identifiers: another node that may
  // wait in one would take the file too, and answer for this one.
  const std::string unfinished = "The update of " + record->label + " with " + record->fileName + " did not finish";
  const std::vector<int32_t> others = parts_.waiting.Others(slot, record->bootloader);
  if (!others.empty()) {
    screen.ShowMessage("RECOVERY MODE", (unfinished + ", but more nodes may be waiting in their bootloaders: " +
                                         WaitingNodes::Names(others) +
                                         ". They would all take this file, so nothing was sent. Recover one node at "
                                         "a time with Recov., with the other nodes unplugged.")
                                            .c_str());
    return false;
  }
  const std::optional<std::string> file = FileToProgram(*record, unfinished);
  if (!file) return false;
  if (!FindRecordedNode(record->bootloader)) {
    parts_.recovery.TellNothingFound();
    return false;
  }
  RecoveryMode = true;
  parts_.run.RunSingle(slot, *file);
  RecoveryMode = false;  // a run that ended before its wrap-up leaves it on
  return true;
}

// The update's own file, or else the program the node ran before it, when
// one was kept; none when the operator wants neither or the file changed.
std::optional<std::string> UpdateOffer::FileToProgram(const UnfinishedUpdate& record, const std::string& unfinished) {
  ProgramScreen& screen = parts_.screen;
  if (!screen.AskYesNo("RECOVERY MODE",
                       (unfinished + ". Would you like to program that node with that file now?").c_str())) {
    if (record.kept.empty() || !screen.AskYesNo("RECOVERY MODE",
                                                "The program that node ran before the update was kept on the USB "
                                                "drive. Would you like to put it back instead?"))
      return std::nullopt;
    screen.Log(("Putting back the old program: " + HexFileDosPath(record.kept)).c_str());
    return record.kept;
  }
  if (record.FileUnchanged()) return record.fileName;
  screen.ShowMessage("RECOVERY MODE", ("The hex file " + record.fileName +
                                       " is missing or has changed since the update began. The node was not changed.")
                                          .c_str());
  return std::nullopt;
}

// An Atmel bootloader answers when asked; an ST10 one only announces itself
// when it starts, so unless it was heard since start-up the node's power is
// cycled. A record cut before the node answered may be either.
bool UpdateOffer::FindRecordedNode(int32_t bootloader) {
  const auto found = [&] {
    if (bootloader == kSt10Bootloader) return BootloaderAnnounced.load();
    if (bootloader == kAtmelBootloader) return parts_.engines.FindAtmelBootloader();
    return parts_.recovery.FindNodeInBootloader();
  };
  if (found()) return true;
  if (bootloader == kAtmelBootloader) return false;
  parts_.recovery.AskForPowerCycle();
  return found();
}
