#include "app/BusEngines.h"

#include "atmel/AtmelProgrammer.h"
#include "nodes/NodeDiscovery.h"
#include "st10/St10Programmer.h"

namespace {

// The Atmel open command's own window: both kinds are asked at once.
constexpr uint32_t kBootloaderLookMs = 200;

}  // namespace

void BusEngines::ResetState() {
  atmel_.ResetState();
  st10_.ResetState();
}

RunEngines::Answered BusEngines::AskForBootloaders() {
  atmel_.AskForBootloader();
  st10_.AskForBootloader();
  NodeDiscovery::AwaitReplies(2, kBootloaderLookMs);
  return {atmel_.BootloaderAnswered(), st10_.BootloaderAnswered()};
}

bool BusEngines::ProgramSt10(const std::string& fileName, bool confirmSuccess) {
  return st10_.Program(fileName, confirmSuccess);
}

AtmelProgrammer::Result BusEngines::ProgramAtmel(const std::string& fileName, bool confirmSuccess,
                                                 ProgramKeeper* keeper) {
  return atmel_.Program(fileName, true, confirmSuccess, keeper);
}

bool BusEngines::St10ResetAnswered() { return st10_.ResetAnswered(); }

bool BusEngines::FindAtmelBootloader() { return atmel_.FindBootloader(); }
