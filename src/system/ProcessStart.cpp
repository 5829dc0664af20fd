#include "system/ProcessStart.h"

#include <spawn.h>

#include "system/DosPath.h"

extern char** environ;

void StartProcess(const std::string& dosProgram, const std::string& commandLine) {
  std::string path = MapDosPath(dosProgram);
  std::string word = commandLine;
  char* argv[] = {path.data(), word.data(), nullptr};
  pid_t pid = 0;
  posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
}
