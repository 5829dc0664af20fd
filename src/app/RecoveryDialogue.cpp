#include "app/RecoveryDialogue.h"

#include "app/RunEngines.h"
#include "app/RunHost.h"
#include "console/ProgramScreen.h"
#include "console/ProgramState.h"

void RecoveryDialogue::Start() {
  screen_.Log("Enter start recovery mode");
  const bool yes = screen_.AskYesNo(
      "WARNING!!!",
      "You have selected Recovery Mode, this mode will help recover ST10 and Atmel nodes that have encountered an "
      "error during programming. Would you like to contine?");
  RecoveryMode = yes;
  if (yes) {
    AskForPowerCycle();
    if (FindNodeInBootloader()) {
      host_.LoadProgramList();
      screen_.ShowMessage("RECOVERY MODE",
                          "WARNING. Select the correct hex file for the failed node update. If incorrect hex file is "
                          "selected and programmed, the node would need to be sent to Alder for repair. Press 'OK' to "
                          "begin node recovery.");
    } else {
      RecoveryMode = false;
      TellNothingFound();
    }
  }
  screen_.ShowStatus("");
}

bool RecoveryDialogue::FindNodeInBootloader() { return BootloaderAnnounced || engines_.FindAtmelBootloader(); }

void RecoveryDialogue::AskForPowerCycle() {
  screen_.ShowMessage("RECOVERY MODE",
                      "Please cycle power to the ST10 or Atmel node you wish to recover, press OK when this is "
                      "complete.");
}

void RecoveryDialogue::TellNothingFound() {
  screen_.ShowMessage("RECOVERY MODE", "There was no node found that needed recovering.");
}
