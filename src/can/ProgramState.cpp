#include "can/ProgramState.h"

std::atomic<int32_t> BootloaderType{kNoBootloader};
std::atomic<bool> BootloaderAnnounced{false};
std::atomic<bool> RecoveryMode{false};
