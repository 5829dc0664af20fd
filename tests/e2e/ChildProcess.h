#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A program started for a test, its output sent to a file. A process still
// running when the object goes is killed, so no test leaves one behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is the program's path; env entries "NAME=value" are added to the
  // test's own environment.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outputPath);
  // True when the process ended within timeoutMs.
  bool WaitForExit(int timeoutMs);
  bool Running();
  void Stop();  // SIGTERM, then SIGKILL after a second
  void Kill();  // SIGKILL at once, as a power cut would end it

 private:
  pid_t pid_ = -1;
};
