#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PollUntil.h"

extern char** environ;

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& outputPath) {
  std::vector<char*> args, envs;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (char** entry = environ; *entry; ++entry) envs.push_back(*entry);
  for (const auto& entry : env) envs.push_back(const_cast<char*>(entry.c_str()));
  args.push_back(nullptr);
  envs.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  int failed = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envs.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed) pid_ = -1;
  return !failed;
}

bool ChildProcess::WaitForExit(int timeoutMs) {
  return PollUntil([this] { return !Running(); }, timeoutMs, 20);
}

bool ChildProcess::Running() {
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
  return pid_ > 0;
}

void ChildProcess::Stop() {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (!WaitForExit(1000)) Kill();
}

void ChildProcess::Kill() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  WaitForExit(5000);
}
