// canbench: the serial-to-CAN gateway and the implement's nodes, simulated
// over a pseudo-terminal, so that the uploader runs and is tested without
// hardware.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchLoop.h"
#include "BenchOptions.h"

namespace {

BenchLoop* running = nullptr;

void OnSignal(int) {
  if (running) running->RequestStop();
}

void CatchSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<BenchOptions> options = BenchOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(BenchOptions::Help(), stdout);
    return 0;
  }
  BenchLoop loop(*options);
  if (!loop.Open(error)) {
    std::fprintf(stderr, "canbench: %s\n", error.c_str());
    return 1;
  }
  running = &loop;
  CatchSignals();
  std::printf("canbench ready\n");
  std::fflush(stdout);
  const int status = loop.Run();
  running = nullptr;
  return status;
}
