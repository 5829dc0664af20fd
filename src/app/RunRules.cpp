#include "app/RunRules.h"

#include <algorithm>
#include <cstdlib>

#include "console/ProgramState.h"
#include "nodes/NodeDiscovery.h"
#include "nodes/NodeTypeCatalogue.h"

namespace {

constexpr int kMaxStartIndex = 50;

}  // namespace

int32_t RunRules::FileProgramNumber(const std::string& fileName) {
  return fileName.size() > 1 ? std::atoi(fileName.substr(1, 3).c_str()) : 0;
}

bool RunRules::UnknownType(int32_t selected) { return selected >= NodeTypeCatalogue::kUnknownType; }

int32_t RunRules::TargetSlot(int32_t selected) {
  return UnknownType(selected) ? selected - NodeTypeCatalogue::kUnknownTypeToSlot : selected;
}

bool RunRules::StartTakes(int rowIndex, int32_t selected) {
  return rowIndex >= 0 && rowIndex <= kMaxStartIndex && selected != 0;
}

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
