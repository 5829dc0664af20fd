// The programming run: the file's program number checked against the node's,
// the file checked as Intel HEX, the bootloader command, the engine of the
// bootloader that answered, and a fresh node query after the run.
#include "app/MainScreen.h"

#include <cstdlib>

#include "app/Format.h"
#include "atmel/AtmelProgrammer.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "firmware/HexFileCheck.h"
#include "firmware/UnfinishedUpdate.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTable.h"
#include "nodes/NodeTypeCatalogue.h"
#include "st10/St10Programmer.h"
#include "system/Clock.h"

namespace {

constexpr uint8_t kBootloaderCommand = 0xF1;
// The Atmel open command's own window: both kinds are asked at once.
constexpr uint32_t kBootloaderLookMs = 200;
constexpr const char* kNodeWaits =
    "A node is waiting in its bootloader and would take this update too, so nothing was sent. Recover that node "
    "first: touch Recov., or answer YES when the program offers its unfinished update at start-up.";

}  // namespace

void MainScreen::RunProgramming() {
  Log(Format("Enter Programming - Selected node name: %s, selected node number: %d", selectedFileName_.c_str(),
             selectedNodeNumber.load())
          .c_str());
  if (selectedNodeNumber >= NodeTypeCatalogue::kUnknownType) {
    WarnUnknownVersion();
    selectedNodeNumber -= NodeTypeCatalogue::kUnknownTypeToSlot;
  }
  if (!FileSuitsSlot(FileProgramNumber(selectedFileName_), selectedNodeNumber)) {
    RefuseRun();
    return;
  }
  if (!IsProgrammableFile()) {
    AbandonRun();
    return;
  }
  ShowMessage("WARNING!!!", kWaitWarning);
  if (RecoveryMode && !OneNodeMayWait()) {
    RecoveryMode = false;
    AbandonRun();
    return;
  }
  const NodeOutcome outcome = ProgramNode(selectedNodeNumber, true);
  if (outcome == NodeOutcome::kNotSent) ShowMessage("WARNING!!!", kNodeWaits);
  if (outcome == NodeOutcome::kNotSent || outcome == NodeOutcome::kStopped) {
    RecoveryMode = false;
    AbandonRun();
    return;
  }
  WrapUpRun(outcome == NodeOutcome::kProgrammed);
}

// A file whose row matched no node type goes to one of the first ten slots.
void MainScreen::WarnUnknownVersion() {
  Log("WARNING: attempting to program a node with an unknown firmware version.");
  ShowMessage("WARNING!!!", "You are attempting to program a node with an unknown firmware version.");
}

// The program number in characters 2 to 4 of a hex file name ("P149..." -> 149).
int32_t MainScreen::FileProgramNumber(const std::string& fileName) {
  return fileName.size() > 1 ? std::atoi(fileName.substr(1, 3).c_str()) : 0;
}

// Logs both program numbers, and the mismatch when the file does not suit
// the node the slot's last answer named.
bool MainScreen::FileSuitsSlot(int32_t fileProgram, int32_t slotNumber, bool touched) {
  NodeSlot* slot = FindNodeSlot(slotNumber);
  int32_t nodeProgram = slot ? static_cast<int32_t>(slot->program.load()) : 0;
  Log(Format("program number on hex file [%d], program number on node [%d].", fileProgram, nodeProgram).c_str());
  if (IsCompatible(fileProgram, nodeProgram, touched)) return true;
  Log(Format("WARNING: program number on hex file [%d] does not match program number on node [%d].", fileProgram,
             nodeProgram)
          .c_str());
  return false;
}

bool MainScreen::IsCompatible(int32_t fileProgram, int32_t nodeProgram, bool touched) {
  if (!touched) return RunRules::BatchTakes(fileProgram, nodeProgram);
  int32_t found = 0;
  if (fileProgram != nodeProgram && fileProgram == NodeDiscovery::kAnySlotProgram) {
    found = FirstSlotWithProgram(NodeDiscovery::kAnySlotProgram);
    if (found)
      Log(Format("Found matching program number [%d] at node index [%d]", NodeDiscovery::kAnySlotProgram, found)
              .c_str());
  }
  return RunRules::SingleRunTakes(fileProgram, nodeProgram, found != 0, RecoveryMode);
}

// A file that does not suit the node: nothing is sent and no new query runs.
void MainScreen::RefuseRun() {
  ShowMessage("WARNING!!!",
              "The selected node is not supported with the selected firmware version, select a different firmware or "
              "node and try again");
  AbandonRun();
}

// Checked after the program numbers, so that a file for another node keeps its
// own advice, and before the warning box: the operator is not asked to wait
// for a run that will not start. A retry cannot mend the file, so none is offered.
bool MainScreen::IsProgrammableFile() {
  if (!AccessHexFile(selectedFileName_)) return false;
  if (HexFileCheck::Accepts(selectedFileName_)) return true;
  ShowMessage("ERROR!!!", "The selected hex file is damaged or is not a hex file. The node was not changed.");
  return false;
}

// A run that sent nothing ends without a new node query.
void MainScreen::AbandonRun() {
  LoadProgramList();
  HideNodeButtons();
  progressVisible_ = false;
  FinishWork("Programming... Failed");
}

// Written before the node leaves its program and kept until it is programmed
// again, so that a power cut or a failed run cannot make the console forget
// which node waits in its bootloader for which file.
// The file is read once per node; its record is written again once the
// bootloader that answered is known.
UnfinishedUpdate MainScreen::UpdateRecord(int32_t slotNumber) {
  UnfinishedUpdate record;
  record.slot = slotNumber;
  const NodeSlot* slot = FindNodeSlot(slotNumber);
  record.label = slot ? slot->name : "";
  record.TakeFile(selectedFileName_);  // a file it cannot read leaves the name empty
  return record;
}

// True when the run goes on: recorded, or, asked before anything is erased,
// the operator chose to go on without the record.
bool MainScreen::RecordUpdate(const UnfinishedUpdate& record, bool ask) {
  if (!record.fileName.empty() && record.Save()) return true;
  Log("WARNING: the update could not be recorded on drive d:.");
  return !ask || AskYesNo("WARNING",
                          "The update could not be recorded on drive d:. If it is cut short, the console cannot offer "
                          "to finish it at the next start. Would you like to program the node all the same?");
}

// A record that stays would be offered again at every start; the operator
// hears of it once.
void MainScreen::ForgetUpdate(int32_t slotNumber) {
  if (UnfinishedUpdate::Remove(slotNumber)) return;
  Log("WARNING: the record of the update could not be removed from drive d:.");
  if (!removalFailureTold_.exchange(true))
    ShowMessage("WARNING", "The record of a finished update could not be removed from drive d:. The console may "
                           "offer that update again at the next start.");
}

// One node's part of a run: a node in recovery waits in its bootloader
// already; any other is sent the bootloader command first, unless a node
// waits in a bootloader already and would take the update too.
MainScreen::NodeOutcome MainScreen::ProgramNode(int32_t slotNumber, bool confirmSuccess) {
  ShowStatus("Programming... Please Wait");
  if (!RecoveryMode && BootloaderWaits()) return NodeOutcome::kNotSent;
  UnfinishedUpdate record = UpdateRecord(slotNumber);
  if (!RecoveryMode) {
    if (!RecordUpdate(record, true)) return NodeOutcome::kStopped;
    EnterBootloader(slotNumber);
  }
  record.bootloader = BootloaderType;
  if (!RecordUpdate(record, RecoveryMode)) return NodeOutcome::kStopped;
  const bool programmed = ProgramInBootloader(confirmSuccess);
  // Its own announcement is behind it; one heard from now on is another node's.
  BootloaderAnnounced = false;
  if (programmed) ForgetUpdate(slotNumber);
  return programmed ? NodeOutcome::kProgrammed : NodeOutcome::kFailed;
}

// Both kinds asked at once, each in the way that changes nothing in a
// bootloader, whether a node already waits on the identifiers that every
// bootloader of its kind shares.
bool MainScreen::BootloaderWaits() {
  Log("Looking for a node waiting in its bootloader");
  services_.atmel.AskForBootloader();
  services_.st10.AskForBootloader();
  NodeDiscovery::AwaitReplies(2, kBootloaderLookMs);
  const bool atmel = services_.atmel.BootloaderAnswered();
  const bool st10 = services_.st10.BootloaderAnswered();
  if (atmel) Log("WARNING: a node waits in its Atmel bootloader.");
  if (st10) Log("WARNING: a node waits in its ST10 bootloader.");
  return atmel || st10;
}

// An ST10 node that never acknowledged its reset may still sit in its
// bootloader: a bootloader that answers after it says it does.
bool MainScreen::LeftBootloader(bool programmed) {
  const bool resetAnswered = BootloaderType != kSt10Bootloader || services_.st10.ResetAnswered();
  const bool waits = programmed && !resetAnswered && BootloaderWaits();
  const bool left = RunRules::ReportedProgrammed(programmed, resetAnswered, waits);
  if (programmed && !left) Log("WARNING: the node did not answer its reset and a bootloader still answers.");
  return left;
}

// One bootloader command to the slot; the answer must arrive within the
// second that follows.
void MainScreen::EnterBootloader(int32_t slotNumber) {
  ResetProgrammingState();
  NodeSlot* slot = FindNodeSlot(slotNumber);
  CanMessage command;
  command.identifier = slot ? slot->requestIdentifier : 0;
  command.data[0] = kBootloaderCommand;
  SendCanMessage(command, true, 1);
  Log(Format("Sending bootloader: CAN ID = %X, Length = 1, Data = %X", command.identifier, kBootloaderCommand).c_str());
  Sleep(kBootloaderAnswerMs);
}

bool MainScreen::ProgramInBootloader(bool confirmSuccess) {
  switch (BootloaderType.load()) {
    case kSt10Bootloader: {
      Log("ST10 MODE - node is in bootloader mode");
      bool programmed = services_.st10.Program(selectedFileName_, confirmSuccess);
      Log(programmed ? "ST10 Mode - programming complete" : "ST10 Mode - error programming node");
      return programmed;
    }
    case kAtmelBootloader: {
      Log("Atmel Mode - node is in bootloader mode");
      bool programmed = services_.atmel.Program(selectedFileName_, true, confirmSuccess);
      Log(programmed ? "Atmel Mode - programming complete" : "Atmel Mode - error programming node");
      return programmed;
    }
    default:
      Log("Received no node response");
      ShowMessage("ERROR!!!", "No node response.");
      return false;
  }
}

// Fresh node numbers and file list for the next selection; a programmed
// node's update is no longer unfinished.
void MainScreen::WrapUpRun(bool success) {
  ShowStatus("Initializing... Please Wait");
  ResetProgrammingState();
  QueryNodes();
  LoadProgramList();
  ShowNodeButtons(NodeTypeCatalogue::kNoButtons);
  progressVisible_ = false;
  FinishWork(success ? "Programming... Finished" : "Programming... Failed");
}
