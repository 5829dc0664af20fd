#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The rules that decide which node a run may write, as functions of plain
// values: what the nodes reported, what answered, what is recorded.
// Bootloaders of one kind share their identifiers, so a node that already
// waits in one would take every command meant for another node.
class RunRules {
 public:
  // An update whose record is still on the drive while its node does not
  // answer the query: the node may wait in a bootloader of this kind
  // (kNoBootloader when the record was cut before the node answered).
  struct Pending {
    int32_t slot;
    int32_t bootloader;
  };

  // The program number in characters 2 to 4 of a hex file name ("P149..." -> 149).
  static int32_t FileProgramNumber(const std::string& fileName);
  // A file whose row matched no node type selects 99 and up: slots 1 to 10.
  static bool UnknownType(int32_t selected);
  static int32_t TargetSlot(int32_t selected);
  // Start takes only the first 51 rows, and only once a row chose a node.
  static bool StartTakes(int rowIndex, int32_t selected);
  // A run the operator aimed at one node: the same program, any node for a
  // file of the any-slot program while some slot reported it, or anything in
  // recovery mode.
  static bool SingleRunTakes(int32_t fileProgram, int32_t nodeProgram, bool anySlotProgramFound, bool recovery);
  // Nobody chose the nodes of a batch one by one: only the file's own program.
  static bool BatchTakes(int32_t fileProgram, int32_t nodeProgram);
  // A node whose ST10 reset went unanswered while a bootloader still answers
  // after it may not have left its bootloader: it is not reported programmed.
  static bool ReportedProgrammed(bool engineProgrammed, bool resetAnswered, bool bootloaderWaitsAfter);
  // The slots besides slot whose node may wait in a bootloader of the given
  // kind: pending updates of that kind or of none, and every node that
  // stopped answering the query (its kind is not known).
  static std::vector<int32_t> OthersThatMayWait(int32_t slot, int32_t bootloader, const std::vector<Pending>& pending,
                                                const std::vector<int32_t>& stopped);
};
