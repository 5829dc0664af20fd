#pragma once

#include <string>

// The application: runs the main screen, then hands the console back to its
// menu program.
class UploaderApp {
 public:
  static constexpr const char* kMenuProgram = "d:\\lumen\\bin\\menu.exe";
  static constexpr const char* kMenuCommandLine = "displayProgramList";

  // The whole life of the program; false so that nothing runs after it.
  bool InitInstance(int argc, char** argv);

  // What followed "EXIT_TO=" on the command line, if anything. The console may
  // pass it; the hand-off at exit never depends on it.
  const std::string& ExitTo() const { return exitTo_; }

 private:
  void ReadCommandLine(int argc, char** argv);

  std::string exitTo_;
};

// The program-wide objects, created in this order before InitInstance runs
// and never destroyed before the process ends.
class HexFileTable;
class NodeDiscovery;
class St10Programmer;
class AtmelProgrammer;
extern UploaderApp theApp;
extern HexFileTable hexFileTable;
extern NodeDiscovery nodeDiscovery;
extern St10Programmer st10Programmer;
extern AtmelProgrammer atmelProgrammer;
