#pragma once

#include <string>

// Starts the program at a DOS-style path (mapped through the dosdevices
// folder) with one command-line word, the caller's environment and working
// folder. Not waited for; a failure to start is not reported.
void StartProcess(const std::string& dosProgram, const std::string& commandLine);
