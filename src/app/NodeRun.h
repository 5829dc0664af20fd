#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "firmware/UnfinishedUpdate.h"

class ProgramScreen;
class RunEngines;

// One node's part of a run: the update recorded, the bootloader command
// (unless the node waits in its bootloader already, in recovery mode), the
// engine of the bootloader that answered, and the record forgotten once the
// node is programmed.
class NodeRun {
 public:
  // kAlreadyRuns: the node ran the file already and was left as it was.
  // kPutBack: the update failed and the node's old program was put back.
  // kNotSent: another node waits in a bootloader and would take the update
  // too. kStopped: the operator chose not to go on without the record.
  enum class Outcome { kProgrammed, kAlreadyRuns, kFailed, kPutBack, kNotSent, kStopped };

  // How long a node gets to answer the bootloader command.
  static constexpr uint32_t kBootloaderAnswerMs = 1000;

  // The node runs the run's file now.
  static bool RunsTheFile(Outcome outcome) { return outcome == Outcome::kProgrammed || outcome == Outcome::kAlreadyRuns; }

  NodeRun(ProgramScreen& screen, RunEngines& engines) : screen_(screen), engines_(engines) {}

  Outcome Program(int32_t slotNumber, const std::string& fileName, bool confirmSuccess);
  // Whether a node the engine programmed is reported programmed.
  bool LeftBootloader(bool programmed);
  // A record that stays would be offered again at every start.
  void ForgetUpdate(int32_t slotNumber);
  // No bootloader known, both engines and the node table afresh.
  void ResetProgrammingState();

 private:
  bool BootloaderWaits();
  static UnfinishedUpdate UpdateRecord(int32_t slotNumber, const std::string& fileName);
  bool RecordUpdate(const UnfinishedUpdate& record, bool ask);
  void EnterBootloader(int32_t slotNumber);
  Outcome ProgramInBootloader(UnfinishedUpdate& record, int32_t program, bool confirmSuccess);
  Outcome ProgramAtmel(UnfinishedUpdate& record, int32_t program, bool confirmSuccess);
  bool PutBack(UnfinishedUpdate& record, bool confirmSuccess);

  ProgramScreen& screen_;
  RunEngines& engines_;
  std::atomic<bool> removalFailureTold_{false};  // a record drive d: kept against our will
};
