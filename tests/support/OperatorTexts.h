#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The boxes a programming run or a recovery shows, as the operator reads them,
// and the helpers that look for them in the log.
inline const char kWarning[] =
    "Wait for programming to complete before removing USB drive or turning off Lumen, doing so will cause node to "
    "fail and node will have to be sent to Alder for repair. Press OK to continue.";
inline const char kComplete[] = "Press OK to program another node.  When finished, press Exit and remove USB drive.";
inline const char kNotSuccessful[] =
    "Programming was not successful, node may not be usable. Contact Alder for support.";
inline const char kSt10Retry[] =
    "An error occurred during programming, check your CAN connections. \nWould you like to try again?";
inline const char kAtmelRetry[] =
    "An error occurred during programming, check all your connections to node. \nWould you like to try again?";
inline const char kRecoveryQuestion[] =
    "You have selected Recovery Mode, this mode will help recover ST10 and Atmel nodes that have encountered an "
    "error during programming. Would you like to contine?";
inline const char kPowerCycle[] =
    "Please cycle power to the ST10 or Atmel node you wish to recover, press OK when this is complete.";
inline const char kRecoveryFound[] =
    "WARNING. Select the correct hex file for the failed node update. If incorrect hex file is selected and "
    "programmed, the node would need to be sent to Alder for repair. Press 'OK' to begin node recovery.";
inline const char kRefused[] =
    "The selected node is not supported with the selected firmware version, select a different firmware or node "
    "and try again";
inline const char kNoNodeResponse[] = "No node response.";
inline const char kDamaged[] = "The selected hex file is damaged or is not a hex file. The node was not changed.";
inline const char kInvalidHexFile[] = "Invalid hex file, select another hex file to program.";
inline const char kNodeWaits[] =
    "A node is waiting in its bootloader and would take this update too, so nothing was sent. Recover that node "
    "first: touch Recov., or answer YES when the program offers its unfinished update at start-up.";
inline const char kAlreadyRuns[] =
    "The node already runs this file, so nothing was erased or written. Press OK to program another node.  When "
    "finished, press Exit and remove USB drive.";
inline const char kPutBack[] =
    "The program the node ran before this update was kept on the USB drive. Would you like to put it back now?";
inline const char kPutBackDone[] =
    "The old program was put back: the node runs what it ran before this update.";
// The status line's prompts once a file is selected.
inline const char kSelectNode[] = "Select Node To Program";
inline const char kPressStart[] = "Press Start To Program";

// How often part occurs in text, overlaps included.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Whether the expected lines stand in this order (others may lie between).
inline ::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                          const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& line : expected) {
    at = std::find(at, lines.end(), line);
    if (at == lines.end()) return ::testing::AssertionFailure() << "missing or out of order: " << line;
    ++at;
  }
  return ::testing::AssertionSuccess();
}
