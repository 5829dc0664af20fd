#pragma once

#include <optional>
#include <string>
#include <vector>

#include "GatewayConfig.h"
#include "NodeConfig.h"

// Everything canbench is told on its command line (and in its scenario file).
struct BenchOptions {
  std::string link;  // where the pty's slave is linked; default $LUMEN_DOSDEVICES/com1
  std::vector<NodeConfig> nodes;
  GatewayConfig gateway;
  std::string dumpDir;
  std::string controlPath;
  std::string tracePath;
  uint32_t busBitrate = 0;  // 0: frames take no time on the bus
  uint32_t lineBaud = 0;    // 0: bytes cross the serial line at once
  uint32_t timeLimitS = 0;  // 0: run until told to stop
  bool help = false;

  // args excludes the program name. On failure returns nothing and says why.
  static std::optional<BenchOptions> Parse(const std::vector<std::string>& args, std::string& error);
  // Adds the nodes of a scenario file: one node description per line,
  // "--node" optional, '#' starts a comment.
  bool LoadScenario(const std::string& path, std::string& error);
  static const char* Help();
};
