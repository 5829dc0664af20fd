#include "BenchOptions.h"

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "system/DosPath.h"

namespace {

bool ParseInfo(const std::string& text, std::array<uint32_t, 5>& words, std::string& error) {
  std::array<uint32_t, 5> parsed{};
  std::istringstream items(text);
  std::string item;
  size_t count = 0;
  while (std::getline(items, item, ',')) {
    if (count == parsed.size() || !ParseBenchNumber(item, 0xFFFFFFFF, parsed[count])) {
      error = "--info: '" + text + "' is not one to five 32-bit numbers separated by commas";
      return false;
    }
    ++count;
  }
  if (count == 0) {
    error = "--info needs at least one word";
    return false;
  }
  words = parsed;
  return true;
}

bool AddNode(const std::string& text, BenchOptions& options, std::string& error) {
  std::optional<NodeConfig> node = NodeConfig::Parse(text, error);
  if (!node) {
    error = "node '" + text + "': " + error;
    return false;
  }
  options.nodes.push_back(*node);
  return true;
}

bool CheckAddresses(const std::vector<NodeConfig>& nodes, std::string& error) {
  std::set<uint8_t> seen;
  for (const NodeConfig& node : nodes) {
    if (!seen.insert(node.address).second) {
      error = "two nodes have the address " + std::to_string(node.address);
      return false;
    }
  }
  return true;
}

using Setter = std::function<bool(const std::string&, BenchOptions&, std::string&)>;

Setter Number(uint32_t BenchOptions::*field) {
  return [field](const std::string& value, BenchOptions& options, std::string&) {
    return ParseBenchNumber(value, 0xFFFFFFFF, options.*field);
  };
}

Setter GatewayNumber(uint32_t GatewayConfig::*field) {
  return [field](const std::string& value, BenchOptions& options, std::string&) {
    return ParseBenchNumber(value, 0xFFFFFFFF, options.gateway.*field);
  };
}

// "N": every Nth frame; "P%": each frame by chance, P up to 100.
Setter GatewayFault(uint32_t GatewayConfig::*every, uint32_t GatewayConfig::*percent) {
  return [every, percent](const std::string& value, BenchOptions& options, std::string&) {
    if (value.size() > 1 && value.back() == '%') {
      return ParseBenchNumber(value.substr(0, value.size() - 1), 100, options.gateway.*percent);
    }
    return ParseBenchNumber(value, 0xFFFFFFFF, options.gateway.*every);
  };
}

Setter Text(std::string BenchOptions::*field) {
  return [field](const std::string& value, BenchOptions& options, std::string&) {
    options.*field = value;
    return !value.empty();
  };
}

const std::map<std::string, Setter>& ValueOptions() {
  static const std::map<std::string, Setter> options = {
      {"--link", Text(&BenchOptions::link)},
      {"--node", AddNode},
      {"--scenario", [](const std::string& v, BenchOptions& o, std::string& e) { return o.LoadScenario(v, e); }},
      {"--info", [](const std::string& v, BenchOptions& o, std::string& e) { return ParseInfo(v, o.gateway.info, e); }},
      {"--info-delay", GatewayNumber(&GatewayConfig::infoDelayMs)},
      {"--info-answers", GatewayNumber(&GatewayConfig::infoAnswers)},
      {"--drop-ack", GatewayFault(&GatewayConfig::dropAckEvery, &GatewayConfig::dropAckPercent)},
      {"--nak-every", GatewayNumber(&GatewayConfig::nakEvery)},
      {"--reopen-every", GatewayNumber(&GatewayConfig::reopenEvery)},
      {"--spoil-console", GatewayNumber(&GatewayConfig::spoilHostEvery)},
      {"--garbage", GatewayNumber(&GatewayConfig::garbageEvery)},
      {"--bad-checksum", GatewayFault(&GatewayConfig::badChecksumEvery, &GatewayConfig::badChecksumPercent)},
      {"--chatter", GatewayNumber(&GatewayConfig::chatterEvery)},
      {"--seed", GatewayNumber(&GatewayConfig::seed)},
      {"--dump-dir", Text(&BenchOptions::dumpDir)},
      {"--control", Text(&BenchOptions::controlPath)},
      {"--trace", Text(&BenchOptions::tracePath)},
      {"--bus-bitrate", Number(&BenchOptions::busBitrate)},
      {"--line-baud", Number(&BenchOptions::lineBaud)},
      {"--time-limit", Number(&BenchOptions::timeLimitS)},
  };
  return options;
}

}  // namespace

std::optional<BenchOptions> BenchOptions::Parse(const std::vector<std::string>& args, std::string& error) {
  BenchOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--no-info") {
      options.gateway.noInfo = true;
      continue;
    }
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) {
      error = "unknown option '" + args[i] + "' (see --help)";
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 == args.size()) {
        error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    error.clear();
    if (!option->second(*value, options, error)) {
      if (error.empty()) error = name + ": bad value '" + *value + "'";
      return std::nullopt;
    }
  }
  if (!CheckAddresses(options.nodes, error)) return std::nullopt;
  if (options.link.empty()) options.link = DosDevicesRoot() + "/com1";  // the console finds COM1 here
  return options;
}

bool BenchOptions::LoadScenario(const std::string& path, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read the scenario file '" + path + "'";
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string word;
    std::string node;
    while (words >> word) {
      if (word != "--node") node += word;
    }
    if (node.empty()) continue;
    if (!AddNode(node, *this, error)) {
      error = path + ":" + std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

const char* BenchOptions::Help() {
  return R"(Usage: canbench [options]

Stands in for the serial-to-CAN gateway on COM1 and for the nodes on the
implement bus, over a pseudo-terminal. Prints "canbench ready" once the link
exists and runs until SIGINT/SIGTERM, "quit" on the control FIFO or the time
limit.

Line and lifetime:
  --link PATH          link the pty's slave here (a stale link is replaced);
                       default $LUMEN_DOSDEVICES/com1 (~/.lumen/dosdevices/com1)
  --time-limit S       stop after S seconds
  --control PATH       create a FIFO taking the lines
                         power-off ADDR   the node loses power (goes silent)
                         power-on ADDR    the node (re)starts; with its
                                          application gone it comes up in its
                                          bootloader and announces itself
                         dump             write every node's flash dump
                         unplug           the gateway's adapter pulled out:
                                          the console's line hangs up and
                                          the link goes
                         replug           plugged in again as a new device:
                                          a new pty behind the link, a
                                          gateway without open channels
                         restart-gateway  the gateway restarts behind a line
                                          that stays open: it forgets its
                                          channels and what it would write
                         quit             stop
  --dump-dir DIR       write DIR/node-XX.bin (XX: address, 2 upper-case hex
                       digits) when a node completes an update and on "dump"
  --trace FILE         every bus frame in candump log format; can0: console
                       to nodes, can1: nodes to console
  --bus-bitrate BPS    delay each bus frame by its bit time (e.g. 250000)
  --line-baud BAUD     delay the serial line's bytes by their time on it,
                       10 bits a byte (e.g. 1500000)

Nodes:
  --node NODE          one node (repeatable), NODE is comma-separated:
                         address=0x30     node address (required)
                         program=144      program number (required)
                         boot=st10|atmel  its bootloader (default st10)
                         after=145        program number after an update
                                          (default: unchanged)
                         flash=FILE.hex   Atmel: the flash at start-up, from
                                          an Intel HEX file (default: a
                                          program of the node's own, 10 to
                                          20 KB)
                         fault=F          repeatable, F one of:
                           silent           never answers anything
                           no-bootloader    ignores the bootloader command F1
                           slow-erase=MS    the erase takes MS milliseconds
                           late-start=MS    "<Start>" (ST10) or the open
                                            command (Atmel) answered MS late
                           stop-after=N     stops answering after N lines
                                            (ST10) or N data frames (Atmel)
                           line-error=N     ST10: reports line N as bad
                           blank-nonzero    Atmel: blank check fails
                           power-cut=N      power lost after N lines or data
                                            frames ("power-on ADDR" brings it
                                            back in its bootloader)
                           bad-byte=ADDR    Atmel: the byte written to ADDR
                                            is stored wrongly
                           start-in-bootloader  no application: waits in
                                            its bootloader from the start
                           no-display       Atmel: display requests unanswered
                                            until the next erase
                       stop-after, line-error, blank-nonzero, power-cut,
                       bad-byte and no-display spoil one update each; the
                       retry then succeeds.
  --scenario FILE      node descriptions, one per line ("--node" optional), '#'
                       starts a comment

Gateway:
  --info W0,W1,W2,W3,W4  info words (32-bit, sent big-endian); default 261,0,0,0,0
  --info-delay MS      answer the info request MS late
  --no-info            never answer the info request
  --info-answers N     answer the first N info requests, then none
  --drop-ack N         withhold the Ack of every Nth console CanFrame
                       (the frame still reaches the bus); N% withholds
                       each by chance, N percent (seeded by --seed)
  --nak-every N        refuse every Nth console CanFrame with a Nak
  --reopen-every N     refuse every Nth console CanFrame with a Reopen
  --spoil-console N    every Nth data frame from the console (CanFrame,
                       OpenChannel, InfoRequest) arrives spoilt: the
                       gateway answers with its Nak (channel 0), nothing else
  --garbage N          noise bytes (never 0x7E) before every Nth frame to the console
  --bad-checksum N     spoil the checksum of every Nth frame to the console;
                       N% spoils each by chance, N percent
  --chatter N          messages 19 and 20 after every Nth frame to the console
  --seed N             seed of the noise and chance generators (default 1)

  -h, --help           this text
)";
}
