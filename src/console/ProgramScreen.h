#pragma once

#include <cstdint>

#include "link/CanMessage.h"

// What node discovery and the engines may ask of the main screen. The main
// screen implements it; unit tests put a fake in its place.
class ProgramScreen {
 public:
  virtual ~ProgramScreen() = default;
  // Sets the extended flag and the length, then queues the frame on the link.
  virtual bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) = 0;
  // The tick count at which the link last wrote a CAN frame to the gateway.
  // A queued frame goes out only after the gateway acknowledged the one
  // before (or 200 ms without), so it may leave well after it was queued.
  virtual uint32_t LastFrameWritten() = 0;
  // How many faults the link met on the line since it opened (the Naks it
  // wrote for spoiled frames): an answer that came while it grew may be a
  // copy, or may have pushed another aside.
  virtual uint32_t LineFaults() = 0;
  virtual void Log(const char* text) = 0;
  // Logs the text and shows it as the status line.
  virtual void ShowStatus(const char* text) = 0;
  virtual void SetProgress(int value) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  // The engine's estimate, a few times a second, of the milliseconds its node
  // still takes and of what a whole run of the same file takes on a node
  // like it (so a run over several nodes can tell the time for them all).
  virtual void ShowTimeLeft(uint32_t nodeMs, uint32_t wholeNodeMs) = 0;
  // Logs the text and shows an OK box; returns when OK is touched.
  virtual void ShowMessage(const char* title, const char* text) = 0;
  // Shows a YES/NO box without logging it; true when YES was touched.
  virtual bool AskYesNo(const char* title, const char* text) = 0;
};

// The one screen every subsystem reaches; set by the main screen.
ProgramScreen* TheScreen();
void SetTheScreen(ProgramScreen* screen);

// The engines' entry points to the screen.
bool SendCan(CanMessage& message, bool extended, uint8_t length);
void WriteLog(const char* text);
