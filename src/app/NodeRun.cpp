#include "app/NodeRun.h"

#include "app/Format.h"
#include "app/OldProgramKeeper.h"
#include "app/RunEngines.h"
#include "app/RunRules.h"
#include "console/ProgramScreen.h"
#include "console/ProgramState.h"
#include "firmware/HexFileAccess.h"
#include "firmware/KeptProgram.h"
#include "nodes/NodeTable.h"
#include "system/Clock.h"

namespace {

constexpr uint8_t kBootloaderCommand = 0xF1;

}  // namespace

NodeRun::Outcome NodeRun::Program(int32_t slotNumber, const std::string& fileName, bool confirmSuccess) {
  screen_.ShowStatus("Programming... Please Wait");
  if (!RecoveryMode && BootloaderWaits()) return Outcome::kNotSent;
  UnfinishedUpdate record = UpdateRecord(slotNumber, fileName);
  const NodeSlot* slot = FindNodeSlot(slotNumber);
  const int32_t program = slot ? static_cast<int32_t>(slot->program.load()) : 0;  // before the table is reset
  if (!RecoveryMode) {
    if (!RecordUpdate(record, true)) return Outcome::kStopped;
    EnterBootloader(slotNumber);
  }
  record.bootloader = BootloaderType;
  if (!RecordUpdate(record, RecoveryMode)) return Outcome::kStopped;
  const Outcome outcome = ProgramInBootloader(record, program, confirmSuccess);
  // Its own announcement is behind it; one heard from now on is another node's.
  BootloaderAnnounced = false;
  if (outcome != Outcome::kFailed) ForgetUpdate(slotNumber);
  return outcome;
}

// Whether a node already waits on the identifiers that every bootloader of
// its kind shares: it would take every command meant for this one.
bool NodeRun::BootloaderWaits() {
  screen_.Log("Looking for a node waiting in its bootloader");
  const RunEngines::Answered answered = engines_.AskForBootloaders();
  if (answered.atmel) screen_.Log("WARNING: a node waits in its Atmel bootloader.");
  if (answered.st10) screen_.Log("WARNING: a node waits in its ST10 bootloader.");
  return answered.atmel || answered.st10;
}

// An ST10 node that never acknowledged its reset may still sit in its
// bootloader: a bootloader that answers after it says it does.
bool NodeRun::LeftBootloader(bool programmed) {
  const bool resetAnswered = BootloaderType != kSt10Bootloader || engines_.St10ResetAnswered();
  const bool waits = programmed && !resetAnswered && BootloaderWaits();
  const bool left = RunRules::ReportedProgrammed(programmed, resetAnswered, waits);
  if (programmed && !left) screen_.Log("WARNING: the node did not answer its reset and a bootloader still answers.");
  return left;
}

// Written before the node leaves its program and kept until it is programmed
// again, so that a power cut or a failed run cannot make the console forget
// which node waits in its bootloader for which file. The file is read once
// per node; its record is written again once the bootloader that answered
// is known.
UnfinishedUpdate NodeRun::UpdateRecord(int32_t slotNumber, const std::string& fileName) {
  UnfinishedUpdate record;
  record.slot = slotNumber;
  const NodeSlot* slot = FindNodeSlot(slotNumber);
  record.label = slot ? slot->name : "";
  record.TakeFile(fileName);  // a file it cannot read leaves the name empty
  // A node recovered from an unfinished update holds part of it: the program
  // kept before that update is still the one to put back.
  if (const std::optional<UnfinishedUpdate> before = RecoveryMode ? UnfinishedUpdate::Load(slotNumber) : std::nullopt)
    record.kept = before->kept;
  return record;
}

// True when the run goes on: recorded, or, asked before anything is erased,
// the operator chose to go on without the record.
bool NodeRun::RecordUpdate(const UnfinishedUpdate& record, bool ask) {
  if (!record.fileName.empty() && record.Save()) return true;
  screen_.Log("WARNING: the update could not be recorded on drive d:.");
  return !ask || screen_.AskYesNo("WARNING",
                                  "The update could not be recorded on drive d:. If it is cut short, the console "
                                  "cannot offer to finish it at the next start. Would you like to program the node "
                                  "all the same?");
}

// The operator hears of it once.
void NodeRun::ForgetUpdate(int32_t slotNumber) {
  if (UnfinishedUpdate::Remove(slotNumber)) return;
  screen_.Log("WARNING: the record of the update could not be removed from drive d:.");
  if (!removalFailureTold_.exchange(true))
    screen_.ShowMessage("WARNING", "The record of a finished update could not be removed from drive d:. The console "
                                   "may offer that update again at the next start.");
}

// One bootloader command to the slot; the answer must arrive within the
// second that follows.
void NodeRun::EnterBootloader(int32_t slotNumber) {
  ResetProgrammingState();
  NodeSlot* slot = FindNodeSlot(slotNumber);
  CanMessage command;
  command.identifier = slot ? slot->requestIdentifier : 0;
  command.data[0] = kBootloaderCommand;
  screen_.SendCanMessage(command, true, 1);
  screen_.Log(
      Format("Sending bootloader: CAN ID = %X, Length = 1, Data = %X", command.identifier, kBootloaderCommand).c_str());
  Sleep(kBootloaderAnswerMs);
}

NodeRun::Outcome NodeRun::ProgramInBootloader(UnfinishedUpdate& record, int32_t program, bool confirmSuccess) {
  switch (BootloaderType.load()) {
    case kSt10Bootloader: {
      screen_.Log("ST10 MODE - node is in bootloader mode");
      const bool programmed = engines_.ProgramSt10(record.fileName, confirmSuccess);
      screen_.Log(programmed ? "ST10 Mode - programming complete" : "ST10 Mode - error programming node");
      return programmed ? Outcome::kProgrammed : Outcome::kFailed;
    }
    case kAtmelBootloader:
      screen_.Log("Atmel Mode - node is in bootloader mode");
      return ProgramAtmel(record, program, confirmSuccess);
    default:
      screen_.Log("Received no node response");
      screen_.ShowMessage("ERROR!!!", "No node response.");
      return Outcome::kFailed;
  }
}

// The node's own program is kept before its erase, unless the node holds no
// program of its own (a kept one is put back, or one was kept before the
// unfinished update it recovers from).
NodeRun::Outcome NodeRun::ProgramAtmel(UnfinishedUpdate& record, int32_t program, bool confirmSuccess) {
  OldProgramKeeper keeper(screen_, record, program, [this, &record] { RecordUpdate(record, false); });
  const bool keep = record.kept.empty() && !KeptProgram::IsKept(record.fileName);
  switch (engines_.ProgramAtmel(record.fileName, confirmSuccess, keep ? &keeper : nullptr)) {
    case AtmelProgrammer::Result::kProgrammed:
      screen_.Log("Atmel Mode - programming complete");
      return Outcome::kProgrammed;
    case AtmelProgrammer::Result::kAlreadyRuns:
      return Outcome::kAlreadyRuns;
    case AtmelProgrammer::Result::kUntouched:
      screen_.Log("Atmel Mode - node left unchanged");
      return Outcome::kFailed;
    case AtmelProgrammer::Result::kFailed:
      break;
  }
  screen_.Log("Atmel Mode - error programming node");
  return !record.kept.empty() && PutBack(record, confirmSuccess) ? Outcome::kPutBack : Outcome::kFailed;
}

// The node holds part of the new program and waits in its bootloader: the
// kept one goes back in a recovery run of its own, if the operator wants it.
bool NodeRun::PutBack(UnfinishedUpdate& record, bool confirmSuccess) {
  const std::string kept = HexFileDosPath(record.kept);
  if (!screen_.AskYesNo("ERROR!!!", "The program the node ran before this update was kept on the USB drive. Would you "
                                    "like to put it back now?")) {
    screen_.Log(("Old program not put back: " + kept).c_str());
    return false;
  }
  screen_.Log(("Putting back the old program: " + kept).c_str());
  record.TakeFile(record.kept);
  RecordUpdate(record, false);
  engines_.ResetState();
  const bool back = engines_.ProgramAtmel(record.kept, false, nullptr) == AtmelProgrammer::Result::kProgrammed;
  screen_.Log(back ? "Atmel Mode - old program put back" : "Atmel Mode - error putting back the old program");
  if (back && confirmSuccess)
    screen_.ShowMessage("RECOVERY MODE", "The old program was put back: the node runs what it ran before this update.");
  return back;
}

void NodeRun::ResetProgrammingState() {
  ResetRunState();
  engines_.ResetState();
  InitNodeTable();
}
