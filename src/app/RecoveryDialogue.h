#pragma once

class ProgramScreen;
class RunEngines;
class RunHost;

// Recovery mode: a node left in its bootloader by a failed update is found
// after a power cycle (an ST10 bootloader announces itself, an Atmel one
// answers the open command) and may then be given any file by the next run.
class RecoveryDialogue {
 public:
  RecoveryDialogue(ProgramScreen& screen, RunHost& host, RunEngines& engines)
      : screen_(screen), host_(host), engines_(engines) {}

  // On the main thread, under the touch on Recov.
  void Start();
  // An ST10 announcement heard since the last reset, or an Atmel bootloader
  // that answers when asked.
  bool FindNodeInBootloader();
  // While the box is up, a node powered up in its ST10 bootloader announces itself.
  void AskForPowerCycle();
  // No bootloader answered, after the power cycle or the record's own look.
  void TellNothingFound();

 private:
  ProgramScreen& screen_;
  RunHost& host_;
  RunEngines& engines_;
};
