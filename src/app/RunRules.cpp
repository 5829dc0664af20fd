#include "app/RunRules.h"

#include <algorithm>

#include "console/ProgramState.h"
#include "nodes/NodeDiscovery.h"

bool RunRules::SingleRunTakes(int32_t fileProgram, int32_t nodeProgram, bool anySlotProgramFound, bool recovery) {
  const bool anySlot = fileProgram == NodeDiscovery::kAnySlotProgram && anySlotProgramFound;
  return fileProgram == nodeProgram || anySlot || recovery;
}

bool RunRules::BatchTakes(int32_t fileProgram, int32_t nodeProgram) {
  return nodeProgram != 0 && fileProgram == nodeProgram;
}

bool RunRules::ReportedProgrammed(bool engineProgrammed, bool resetAnswered, bool bootloaderWaitsAfter) {
  return engineProgrammed && (resetAnswered || !bootloaderWaitsAfter);
}

std::vector<int32_t> RunRules::OthersThatMayWait(int32_t slot, int32_t bootloader, const std::vector<Pending>& pending,
                                                 const std::vector<int32_t>& stopped) {
  std::vector<int32_t> others;
  const auto add = [&](int32_t other) {
    if (other != slot && std::find(others.begin(), others.end(), other) == others.end()) others.push_back(other);
  };
  for (const Pending& update : pending) {
    if (update.bootloader == bootloader || update.bootloader == kNoBootloader || bootloader == kNoBootloader)
      add(update.slot);
  }
  for (int32_t other : stopped) add(other);
  std::sort(others.begin(), others.end());
  return others;
}
