#pragma once

#include <string>

#include "atmel/AtmelProgrammer.h"

// What a run asks of the two programming engines, so that the run's
// sequences can be driven without a bus.
class RunEngines {
 public:
  // Which kinds of bootloader answered when asked.
  struct Answered {
    bool atmel = false;
    bool st10 = false;
  };

  virtual ~RunEngines() = default;

  // Both engines forget the last run.
  virtual void ResetState() = 0;
  // Both kinds asked at once, each in the way that changes nothing in a
  // bootloader, and their answers awaited.
  virtual Answered AskForBootloaders() = 0;
  // The engine's whole sequence on a node that waits in its bootloader.
  virtual bool ProgramSt10(const std::string& fileName, bool confirmSuccess) = 0;
  // With a keeper, the node's own program is read and kept before its erase.
  virtual AtmelProgrammer::Result ProgramAtmel(const std::string& fileName, bool confirmSuccess,
                                               ProgramKeeper* keeper) = 0;
  // The ST10 node acknowledged its reset at the end of the last run.
  virtual bool St10ResetAnswered() = 0;
  // An Atmel bootloader answers the open command.
  virtual bool FindAtmelBootloader() = 0;
};
