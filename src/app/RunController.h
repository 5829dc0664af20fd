#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/NodeRun.h"

class ProgramScreen;
class RunEngines;
class RunHost;
class TimeLeft;
class WaitingNodes;

// A programming run from the touch that started it to its wrap-up: one node,
// or every node of a group ("All"), in recovery mode or not. It runs on the
// run's own thread, which owns the screen until FinishWork hands it back.
class RunController {
 public:
  // Shown before a run sends its first command.
  static constexpr const char* kWaitWarning =
      "Wait for programming to complete before removing USB drive or turning off Lumen, doing so will cause node to "
      "fail and node will have to be sent to Alder for repair. Press OK to continue.";

  struct Parts {
    ProgramScreen& screen;
    RunHost& host;
    RunEngines& engines;
    WaitingNodes& waiting;
    TimeLeft& timeLeft;
  };

  explicit RunController(const Parts& parts);

  // selected: the touched slot, or 99 and up for a file of no known node type.
  void RunSingle(int32_t selected, const std::string& fileName);
  // shownSlots: the slots of the node buttons shown for the group, in order.
  void RunBatch(int32_t group, const std::vector<int32_t>& shownSlots, const std::string& fileName);

  NodeRun& Node() { return node_; }

 private:
  void WarnUnknownVersion();
  // touched: the operator aimed the run at this one node.
  bool FileSuitsSlot(int32_t fileProgram, int32_t slotNumber, bool touched);
  bool IsCompatible(int32_t fileProgram, int32_t nodeProgram, bool touched);
  bool IsProgrammableFile(const std::string& fileName);
  bool OneNodeMayWait();
  void RefuseRun();
  void AbandonRun();
  void WrapUpRun(bool success);
  void LogEntry(const std::string& fileName, int32_t slot);

  ProgramScreen& screen_;
  RunHost& host_;
  WaitingNodes& waiting_;
  TimeLeft& timeLeft_;
  NodeRun node_;
};
