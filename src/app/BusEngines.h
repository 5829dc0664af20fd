#pragma once

#include "app/RunEngines.h"

class St10Programmer;

// The program's two engines, talking to the nodes through the link.
class BusEngines : public RunEngines {
 public:
  BusEngines(St10Programmer& st10, AtmelProgrammer& atmel) : st10_(st10), atmel_(atmel) {}

  void ResetState() override;
  Answered AskForBootloaders() override;
  bool ProgramSt10(const std::string& fileName, bool confirmSuccess) override;
  AtmelProgrammer::Result ProgramAtmel(const std::string& fileName, bool confirmSuccess,
                                       ProgramKeeper* keeper) override;
  bool St10ResetAnswered() override;
  bool FindAtmelBootloader() override;

 private:
  St10Programmer& st10_;
  AtmelProgrammer& atmel_;
};
