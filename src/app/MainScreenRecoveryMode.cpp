// Recovery mode: a node left in its bootloader by a failed update is found
// after a power cycle (an ST10 bootloader announces itself, an Atmel one
// answers the open command) and may then be given any file.
#include "app/MainScreen.h"

#include "atmel/AtmelProgrammer.h"
#include "can/ProgramState.h"

void MainScreen::StartRecoveryMode() {
  Log("Enter start recovery mode");
  bool yes = AskYesNo("WARNING!!!",
                      "You have selected Recovery Mode, this mode will help recover ST10 and Atmel nodes that have "
                      "encountered an error during programming. Would you like to contine?");
  if (!yes) {
    RecoveryMode = false;
  } else {
    RecoveryMode = true;
    AskForPowerCycle();
    if (FindNodeInBootloader()) {
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

// An ST10 announcement heard since the last reset, or an Atmel bootloader
// that answers when asked.
bool MainScreen::FindNodeInBootloader() { return BootloaderAnnounced || services_.atmel.FindBootloader(); }

// While the box is up, a node powered up in its ST10 bootloader announces itself.
void MainScreen::AskForPowerCycle() {
  ShowMessage("RECOVERY MODE",
              "Please cycle power to the ST10 or Atmel node you wish to recover, press OK when this is complete.");
}
