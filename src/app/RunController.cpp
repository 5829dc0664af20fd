#include "app/RunController.h"

#include "app/Format.h"
#include "app/NodeBatch.h"
#include "app/RunHost.h"
#include "app/RunRules.h"
#include "app/TimeLeft.h"
#include "app/WaitingNodes.h"
#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "firmware/HexFileCheck.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"

namespace {

constexpr const char* kNodeWaits =
    "A node is waiting in its bootloader and would take this update too, so nothing was sent. Recover that node "
    "first: touch Recov., or answer YES when the program offers its unfinished update at start-up.";

}  // namespace

RunController::RunController(const Parts& parts)
    : screen_(parts.screen),
      host_(parts.host),
      waiting_(parts.waiting),
      timeLeft_(parts.timeLeft),
      node_(parts.screen, parts.engines) {}

// The program numbers are checked, then the file, then whether one node may
// wait in recovery mode: the operator is not asked to wait for a run that
// will not start.
void RunController::RunSingle(int32_t selected, const std::string& fileName) {
  LogEntry(fileName, selected);
  if (RunRules::UnknownType(selected)) WarnUnknownVersion();
  const int32_t slot = RunRules::TargetSlot(selected);
  if (!FileSuitsSlot(RunRules::FileProgramNumber(fileName), slot, true)) return RefuseRun();
  if (!IsProgrammableFile(fileName)) return AbandonRun();
  screen_.ShowMessage("WARNING!!!", kWaitWarning);
  if (RecoveryMode && !OneNodeMayWait()) {
    RecoveryMode = false;
    return AbandonRun();
  }
  const NodeRun::Outcome outcome = node_.Program(slot, fileName, true);
  if (outcome == NodeRun::Outcome::kNotSent) screen_.ShowMessage("WARNING!!!", kNodeWaits);
  if (outcome == NodeRun::Outcome::kNotSent || outcome == NodeRun::Outcome::kStopped) {
    RecoveryMode = false;
    return AbandonRun();
  }
  WrapUpRun(NodeRun::RunsTheFile(outcome));
}

// Every node of the shown group that the file suits, one after the other,
// with one warning before the first and one report after the last. Only
// nodes that answered the last query with the file's own program are taken:
// nobody chose them one by one.
void RunController::RunBatch(int32_t group, const std::vector<int32_t>& shownSlots, const std::string& fileName) {
  screen_.Log(
      Format("Enter Programming All - Selected node name: %s, node group: %d", fileName.c_str(), group).c_str());
  if (RunRules::UnknownType(group)) WarnUnknownVersion();
  const int32_t fileProgram = RunRules::FileProgramNumber(fileName);
  NodeBatch batch;
  for (int32_t shown : shownSlots) {
    const int32_t number = RunRules::TargetSlot(shown);
    NodeSlot* slot = FindNodeSlot(number);
    if (slot && slot->program != 0 && FileSuitsSlot(fileProgram, number, false)) batch.Add(number, slot->name);
  }
  if (batch.Empty()) return RefuseRun();
  if (!IsProgrammableFile(fileName)) return AbandonRun();
  screen_.ShowMessage("WARNING!!!", batch.Announcement(kWaitWarning).c_str());
  // A node that fails, retries declined, leaves the others to be programmed,
  // unless it (or any node) waits in a bootloader: it would take every
  // command of the next node on the bootloaders' shared identifiers, so the
  // batch stops there.
  bool waiting = false;
  timeLeft_.StartBatch(static_cast<int>(batch.Nodes().size()));
  for (NodeBatch::Node& node : batch.Nodes()) {
    if (!waiting) {
      LogEntry(fileName, node.slot);
      timeLeft_.NextNode();
      const NodeRun::Outcome outcome = node_.Program(node.slot, fileName, false);
      node.skipped = outcome == NodeRun::Outcome::kAlreadyRuns;
      node.programmed = node_.LeftBootloader(NodeRun::RunsTheFile(outcome));
      waiting = outcome == NodeRun::Outcome::kNotSent;
    }
    if (waiting) screen_.Log(Format("Not programmed, a node waits in its bootloader: %s", node.name.c_str()).c_str());
  }
  timeLeft_.EndBatch();
  if (waiting) batch.SetNote("A node waits in its bootloader: recover it first with Recov.");
  screen_.ShowMessage(batch.SummaryTitle(), batch.Summary().c_str());
  WrapUpRun(batch.AllProgrammed());
}

void RunController::LogEntry(const std::string& fileName, int32_t slot) {
  screen_.Log(Format("Enter Programming - Selected node name: %s, selected node number: %d", fileName.c_str(), slot)
                  .c_str());
}

// A file whose row matched no node type goes to one of the first ten slots.
void RunController::WarnUnknownVersion() {
  screen_.Log("WARNING: attempting to program a node with an unknown firmware version.");
  screen_.ShowMessage("WARNING!!!", "You are attempting to program a node with an unknown firmware version.");
}

// Logs both program numbers, and the mismatch when the file does not suit
// the node the slot's last answer named.
bool RunController::FileSuitsSlot(int32_t fileProgram, int32_t slotNumber, bool touched) {
  NodeSlot* slot = FindNodeSlot(slotNumber);
  const int32_t nodeProgram = slot ? static_cast<int32_t>(slot->program.load()) : 0;
  screen_.Log(
      Format("program number on hex file [%d], program number on node [%d].", fileProgram, nodeProgram).c_str());
  if (IsCompatible(fileProgram, nodeProgram, touched)) return true;
  screen_.Log(Format("WARNING: program number on hex file [%d] does not match program number on node [%d].",
                     fileProgram, nodeProgram)
                  .c_str());
  return false;
}

bool RunController::IsCompatible(int32_t fileProgram, int32_t nodeProgram, bool touched) {
  if (!touched) return RunRules::BatchTakes(fileProgram, nodeProgram);
  int32_t found = 0;
  if (fileProgram != nodeProgram && fileProgram == NodeDiscovery::kAnySlotProgram) {
    found = FirstSlotWithProgram(NodeDiscovery::kAnySlotProgram);
    if (found)
      screen_.Log(
          Format("Found matching program number [%d] at node index [%d]", NodeDiscovery::kAnySlotProgram, found)
              .c_str());
  }
  return RunRules::SingleRunTakes(fileProgram, nodeProgram, found != 0, RecoveryMode);
}

// Checked after the program numbers, so that a file for another node keeps
// its own advice. A retry cannot mend the file, so none is offered.
bool RunController::IsProgrammableFile(const std::string& fileName) {
  if (!AccessHexFile(fileName)) return false;
  if (HexFileCheck::Accepts(fileName)) return true;
  screen_.ShowMessage("ERROR!!!", "The selected hex file is damaged or is not a hex file. The node was not changed.");
  return false;
}

// One answer does not prove one waiting node: what the console remembers may
// name more. The operator decides before anything is erased.
bool RunController::OneNodeMayWait() {
  const std::vector<int32_t> nodes = waiting_.Others(0, BootloaderType);
  if (nodes.size() < 2) return true;
  const std::string names = WaitingNodes::Names(nodes);
  screen_.Log(Format("WARNING: more than one node may wait in its bootloader: %s.", names.c_str()).c_str());
  const bool yes = screen_.AskYesNo("WARNING!!!", ("More than one node may be waiting in its bootloader: " + names +
                                                   ". All of them would be erased and given this file. Unplug or "
                                                   "power off all but the node to recover first. Would you like to "
                                                   "continue?")
                                                      .c_str());
  screen_.Log(yes ? "Recovery of more than one waiting node confirmed" : "Recovery stopped, nothing was sent");
  return yes;
}

// A file that does not suit the node: nothing is sent and no new query runs.
void RunController::RefuseRun() {
  screen_.ShowMessage("WARNING!!!",
                      "The selected node is not supported with the selected firmware version, select a different "
                      "firmware or node and try again");
  AbandonRun();
}

// A run that sent nothing ends without a new node query.
void RunController::AbandonRun() {
  host_.LoadProgramList();
  host_.HideNodeButtons();
  screen_.SetProgressVisible(false);
  host_.FinishWork("Programming... Failed");
}

// Fresh node numbers and file list for the next selection.
void RunController::WrapUpRun(bool success) {
  screen_.ShowStatus("Initializing... Please Wait");
  node_.ResetProgrammingState();
  host_.QueryNodes();
  host_.LoadProgramList();
  host_.HideNodeButtons();
  screen_.SetProgressVisible(false);
  host_.FinishWork(success ? "Programming... Finished" : "Programming... Failed");
}
