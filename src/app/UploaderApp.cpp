#include "app/UploaderApp.h"

#include "app/MainScreen.h"
#include "atmel/AtmelProgrammer.h"
#include "firmware/HexFileTable.h"
#include "nodes/NodeDiscovery.h"
#include "system/ProcessStart.h"
#include "st10/St10Programmer.h"

// Definition order is creation order.
UploaderApp theApp;
HexFileTable hexFileTable;
NodeDiscovery nodeDiscovery;
St10Programmer st10Programmer;
AtmelProgrammer atmelProgrammer;

bool UploaderApp::InitInstance(int argc, char** argv) {
  ReadCommandLine(argc, argv);
  {
    MainScreen screen(MainScreen::Services{hexFileTable, nodeDiscovery, st10Programmer, atmelProgrammer});
    screen.DoModal();
    StartProcess(kMenuProgram, kMenuCommandLine);
  }
  return false;
}

void UploaderApp::ReadCommandLine(int argc, char** argv) {
  static constexpr std::string_view kExitTo = "EXIT_TO=";
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    if (size_t at = word.find(kExitTo); at != std::string_view::npos) exitTo_ = word.substr(at + kExitTo.size());
  }
}
