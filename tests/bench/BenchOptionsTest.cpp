#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "St10Session.h"
#include "bench/BenchOptions.h"

namespace {

TEST(NodeConfig, ReadsEveryFieldAndFault) {
  std::string error;
  const auto node = NodeConfig::Parse(
      "address=0x30,program=144,boot=atmel,after=145,fault=silent,fault=no-bootloader,fault=blank-nonzero,"
      "fault=slow-erase=3000,fault=late-start=7000,fault=stop-after=10,fault=line-error=0x12C,fault=power-cut=5",
      error);
  ASSERT_TRUE(node) << error;
  EXPECT_EQ(std::tuple(node->address, node->program, node->boot, node->after),
            std::tuple(uint8_t{0x30}, uint16_t{144}, BootloaderKind::Atmel, uint16_t{145}));
  EXPECT_TRUE(node->silent && node->noBootloader && node->blankNonzero);
  EXPECT_EQ(std::tuple(node->slowEraseMs, node->lateStartMs, node->stopAfter, node->lineError, node->powerCut),
            std::tuple(3000u, 7000u, 10u, 300u, 5u));
  // Defaults: an ST10 node without faults; numbers are decimal, never octal.
  const auto plain = NodeConfig::Parse("program=0010,address=48", error);
  ASSERT_TRUE(plain) << error;
  EXPECT_EQ(std::tuple(plain->address, plain->program, plain->boot), std::tuple(uint8_t{48}, uint16_t{10}, BootloaderKind::St10));
  EXPECT_FALSE(plain->after || plain->stopAfter || plain->lineError || plain->powerCut || plain->silent);
}

TEST(NodeConfig, SaysWhatIsWrong) {
  const std::vector<std::pair<const char*, const char*>> table = {
      {"address=0x30", "a node needs address= and program="},
      {"program=144", "a node needs address= and program="},
      {"address=0x130,program=1", "address: '0x130' is not a number from 0 to 255"},
      {"address=0x30,program=70000", "program: '70000' is not a number from 0 to 65535"},
      {"address=0x30,program=-1", "program: '-1' is not a number from 0 to 65535"},
      {"address=0x30,program=1,boot=avr", "boot: 'avr' is neither st10 nor atmel"},
      {"address=0x30,program=1,fault=loud", "unknown fault 'loud'"},
      {"address=0x30,program=1,fault=silent=1", "unknown fault 'silent=1'"},
      {"address=0x30,program=1,fault=stop-after=x", "stop-after: 'x' is not a number from 0 to 4294967295"},
      {"address=0x30,program=1,colour=red", "unknown field 'colour'"},
      {"address=0x30,program", "'program' is not key=value"}};
  for (const auto& [text, reason] : table) {
    std::string error;
    EXPECT_FALSE(NodeConfig::Parse(text, error)) << text;
    EXPECT_EQ(error, reason);
  }
}

TEST(BenchOptions, ReadsTheGatewayAndLoopOptions) {
  std::string error;
  const auto options = BenchOptions::Parse(
      {"--link", "/tmp/x/com1", "--info=300,1", "--info-delay", "700", "--no-info", "--drop-ack", "5", "--nak-every",
       "6", "--reopen-every", "7", "--garbage", "8", "--bad-checksum", "9", "--chatter", "10", "--seed", "42",
       "--dump-dir", "/tmp/d", "--control", "/tmp/c", "--trace", "/tmp/t", "--bus-bitrate", "250000", "--time-limit",
       "30", "--node", "address=1,program=149"},
      error);
  ASSERT_TRUE(options) << error;
  const GatewayConfig& gateway = options->gateway;
  EXPECT_EQ(gateway.info, (std::array<uint32_t, 5>{300, 1, 0, 0, 0}));
  EXPECT_TRUE(gateway.noInfo);
  EXPECT_EQ(std::vector<uint32_t>({gateway.infoDelayMs, gateway.dropAckEvery, gateway.nakEvery, gateway.reopenEvery,
                                   gateway.garbageEvery, gateway.badChecksumEvery, gateway.chatterEvery, gateway.seed,
                                   options->busBitrate, options->timeLimitS}),
            (std::vector<uint32_t>{700, 5, 6, 7, 8, 9, 10, 42, 250000, 30}));
  EXPECT_EQ(std::vector<std::string>({options->link, options->dumpDir, options->controlPath, options->tracePath}),
            (std::vector<std::string>{"/tmp/x/com1", "/tmp/d", "/tmp/c", "/tmp/t"}));
  EXPECT_EQ(options->nodes.size(), 1u);
}

TEST(BenchOptions, LinksComOneInTheDosDevicesFolderByDefault) {
  const std::string root = FreshDir("dosdevices");
  setenv("LUMEN_DOSDEVICES", root.c_str(), 1);
  std::string error;
  const auto options = BenchOptions::Parse({}, error);
  unsetenv("LUMEN_DOSDEVICES");
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->link, root + "/com1");
  EXPECT_EQ(options->gateway.info[0], 261u);
}

TEST(BenchOptions, SaysWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, const char*>> table = {
      {{"--frobnicate"}, "unknown option '--frobnicate' (see --help)"},
      {{"--drop-ack"}, "--drop-ack needs a value"},
      {{"--drop-ack", "two"}, "--drop-ack: bad value 'two'"},
      {{"--info", "1,2,3,4,5,6"}, "--info: '1,2,3,4,5,6' is not one to five 32-bit numbers separated by commas"},
      {{"--node", "address=1"}, "node 'address=1': a node needs address= and program="},
      {{"--node", "address=1,program=2", "--node", "address=0x01,program=3"}, "two nodes have the address 1"},
      {{"--scenario", "/nonexistent/bench.scn"}, "cannot read the scenario file '/nonexistent/bench.scn'"}};
  for (const auto& [args, reason] : table) {
    std::string error;
    EXPECT_FALSE(BenchOptions::Parse(args, error)) << args[0];
    EXPECT_EQ(error, reason);
  }
}

TEST(BenchOptions, ScenarioFileAddsOneNodePerLine) {
  const std::string path = FreshDir("scenario") + "/bench.scn";
  std::ofstream(path) << "# a sprayer\n"
                         "--node address=0x30,program=144,boot=st10,after=145  # boom\n"
                         "\n"
                         "   address=0x01,program=149,boot=atmel,fault=slow-erase=2000\n";
  std::string error;
  const auto options = BenchOptions::Parse({"--node", "address=0x20,program=143", "--scenario", path}, error);
  ASSERT_TRUE(options) << error;
  ASSERT_EQ(options->nodes.size(), 3u);
  EXPECT_EQ(options->nodes[1].after, 145);
  EXPECT_EQ(options->nodes[2].slowEraseMs, 2000u);
  std::ofstream(path) << "# fine\naddress=0x30,program=144\naddress=0x31\n";
  EXPECT_FALSE(BenchOptions::Parse({"--scenario", path}, error));
  EXPECT_EQ(error, path + ":3: node 'address=0x31': a node needs address= and program=");
}

}  // namespace
