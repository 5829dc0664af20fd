#pragma once

#include <cstdint>
#include <optional>
#include <string>

class ProgramScreen;
class RecoveryDialogue;
class RunController;
class RunEngines;
class RunHost;
class UnfinishedUpdate;
class WaitingNodes;

// An update that a power cut, a killed program or a failed run left
// unfinished: once the screen is up, its node is offered again with the
// same file, and programmed as in recovery mode.
class UpdateOffer {
 public:
  struct Parts {
    ProgramScreen& screen;
    RunHost& host;
    RunEngines& engines;
    WaitingNodes& waiting;
    RecoveryDialogue& recovery;
    RunController& run;
  };

  explicit UpdateOffer(const Parts& parts) : parts_(parts) {}

  // Whether any slot has a record, read before a worker is started for them.
  static bool AnyRecord();
  // On a worker that owns the screen: every slot's record in turn. A run
  // finishes its own work; the next offer goes on only if no touch, query or
  // Exit took the screen meanwhile.
  void OfferAll();

 private:
  // True when a run was started for the slot.
  bool Offer(int32_t slot);
  std::optional<std::string> FileToProgram(const UnfinishedUpdate& record, const std::string& unfinished);
  bool FindRecordedNode(int32_t bootloader);

  Parts parts_;
};
