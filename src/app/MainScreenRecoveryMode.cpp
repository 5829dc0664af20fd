// Recovery mode: a node left in its bootloader by a failed update is found
// after a power cycle (an ST10 bootloader announces itself, an Atmel one
// answers the open command) and may then be given any file.
#include "app/MainScreen.h"

#include <algorithm>

#include "app/Format.h"
#include "atmel/AtmelProgrammer.h"
#include "console/ProgramState.h"
#include "firmware/UnfinishedUpdate.h"

void MainScreen::StartRecoveryMode() {
  Log("Enter start recovery mode");
  bool yes = AskYesNo("WARNING!!!",
                      "You have selected Recovery Mode, this mode will help recover ST10 and Atmel nodes that have "
                      "encountered an error during programming. Would you like to contine?");
  if (!yes) {
    RecoveryMode = false;
  } else {
    RecoveryMode = true;
    AskForPowerCycle();
    if (FindNodeInBootloader()) {
      LoadProgramList();
      ShowMessage("RECOVERY MODE",
                  "WARNING. Select the correct hex file for the failed node update. If incorrect hex file is selected "
                  "and programmed, the node would need to be sent to Alder for repair. Press 'OK' to begin node "
                  "recovery.");
    } else {
      RecoveryMode = false;
      ShowMessage("RECOVERY MODE", "There was no node found that needed recovering.");
    }
  }
  ShowStatus("");
}

// An ST10 announcement heard since the last reset, or an Atmel bootloader
// that answers when asked.
bool MainScreen::FindNodeInBootloader() { return BootloaderAnnounced || services_.atmel.FindBootloader(); }

// While the box is up, a node powered up in its ST10 bootloader announces itself.
void MainScreen::AskForPowerCycle() {
  ShowMessage("RECOVERY MODE",
              "Please cycle power to the ST10 or Atmel node you wish to recover, press OK when this is complete.");
}

// Identical answers of two bootloaders merge on the bus, so one answer does
// not prove one node: what the console remembers may name more. The
// operator decides before anything is erased.
bool MainScreen::OneNodeMayWait() {
  const std::vector<RunRules::Pending> pending = PendingUpdates();
  const std::vector<int32_t> nodes = RunRules::OthersThatMayWait(0, BootloaderType, pending, StoppedAnswering(pending));
  if (nodes.size() < 2) return true;
  const std::string names = SlotNames(nodes);
  Log(Format("WARNING: more than one node may wait in its bootloader: %s.", names.c_str()).c_str());
  const bool yes = AskYesNo("WARNING!!!", ("More than one node may be waiting in its bootloader: " + names +
                                           ". All of them would be erased and given this file. Unplug or power off "
                                           "all but the node to recover first. Would you like to continue?")
                                              .c_str());
  Log(yes ? "Recovery of more than one waiting node confirmed" : "Recovery stopped, nothing was sent");
  return yes;
}

void MainScreen::NoteAnsweringNodes() {
  for (const NodeSlot& slot : NodeTable) answeredOnce_[slot.number - 1] |= slot.program != 0;
}

std::vector<RunRules::Pending> MainScreen::PendingUpdates() {
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
std::vector<int32_t> MainScreen::StoppedAnswering(const std::vector<RunRules::Pending>& pending) {
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

// "Alpha Node 1, Rho Node 1".
std::string MainScreen::SlotNames(const std::vector<int32_t>& slots) {
  std::string names;
  for (int32_t number : slots) {
    const NodeSlot* slot = FindNodeSlot(number);
    names += (names.empty() ? "" : ", ") + std::string(slot ? slot->name : "?");
  }
  return names;
}
