#pragma once

#include <atomic>
#include <cstdint>

// Which bootloader answered the bootloader command.
enum BootloaderKind : int32_t { kNoBootloader = 0, kSt10Bootloader = 1, kAtmelBootloader = 2 };

// Program-wide run values shared between the programming thread, the main
// thread and the link's receive thread.
extern std::atomic<int32_t> BootloaderType;
extern std::atomic<bool> BootloaderAnnounced;
extern std::atomic<bool> RecoveryMode;

// No bootloader known, none announced, recovery mode off: before every run.
void ResetRunState();
