#include "console/ProgramScreen.h"

#include <atomic>

namespace {
std::atomic<ProgramScreen*> screen{nullptr};
}

ProgramScreen* TheScreen() { return screen.load(std::memory_order_acquire); }

void SetTheScreen(ProgramScreen* value) { screen.store(value, std::memory_order_release); }

bool SendCan(CanMessage& message, bool extended, uint8_t length) {
  ProgramScreen* target = TheScreen();
  return target && target->SendCanMessage(message, extended, length);
}

void WriteLog(const char* text) {
  if (ProgramScreen* target = TheScreen()) target->ShowStatus(text);
}
