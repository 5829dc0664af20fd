// Recovery mode: an ST10 node left in its bootloader by a failed update
// announces itself when powered up, and may then be given any file.
#include "app/MainScreen.h"

#include "can/ProgramState.h"


void MainScreen::StartRecoveryMode() {
  Log("Enter start recovery mode");
  bool yes = AskYesNo("WARNING!!!",
                      "You have selected Recovery Mode, this mode will help recover ST10 nodes that have encountered an "
                      "error during programming. Would you like to contine?");
  if (!yes) {
    RecoveryMode = false;
  } else {
    RecoveryMode = true;
    ShowMessage("RECOVERY MODE", "Please cycle power to the ST10 node you wish to recover, press OK when this is complete.");
    if (BootloaderAnnounced) {
      LoadProgramList();
      ShowMessage("RECOVERY MODE",
                  "WARNING. Select the correct hex file for the failed node update. If incorrect hex file is selected "
                  "and programmed, the node would need to be sent to Alder for repair. Press 'OK' to begin node "
                  "recovery.");
    } else {
      RecoveryMode = false;
      ShowMessage("RECOVERY MODE", "There was no node found that needed recovering.");
    }
  }
  ShowStatus("");
}
