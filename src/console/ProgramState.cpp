#include "console/ProgramState.h"

std::atomic<int32_t> BootloaderType{kNoBootloader};
std::atomic<bool> BootloaderAnnounced{false};
std::atomic<bool> RecoveryMode{false};

void ResetRunState() {
  BootloaderType = kNoBootloader;
  BootloaderAnnounced = false;
  RecoveryMode = false;
}
