#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "St10Session.h"
#include "bench/BenchOptions.h"

namespace {

std::optional<BenchOptions> Parse(std::vector<std::string> args, std::string& error) {
  return BenchOptions::Parse(args, error);
}

TEST(NodeConfig, ReadsEveryFieldAndFault) {
  std::string error;
  const auto node = NodeConfig::Parse(
      "address=0x30,program=144,boot=atmel,after=145,fault=silent,fault=no-bootloader,fault=blank-nonzero,"
      "fault=slow-erase=3000,fault=late-start=7000,fault=stop-after=10,fault=line-error=0x12C,fault=power-cut=5",
      error);
  ASSERT_TRUE(node) << error;
  EXPECT_EQ(node->address, 0x30);
  EXPECT_EQ(node->program, 144);
  EXPECT_EQ(node->boot, BootloaderKind::Atmel);
  EXPECT_EQ(node->after, 145);
  EXPECT_TRUE(node->silent && node->noBootloader && node->blankNonzero);
  EXPECT_EQ(node->slowEraseMs, 3000u);
  EXPECT_EQ(node->lateStartMs, 7000u);
  EXPECT_EQ(node->stopAfter, 10u);
  EXPECT_EQ(node->lineError, 300u);
  EXPECT_EQ(node->powerCut, 5u);
}

TEST(NodeConfig, DefaultsToAnSt10NodeWithoutFaults) {
  std::string error;
  const auto node = NodeConfig::Parse("program=0010,address=48", error);
  ASSERT_TRUE(node) << error;
  EXPECT_EQ(node->address, 48);
  EXPECT_EQ(node->program, 10);  // decimal, never octal
  EXPECT_EQ(node->boot, BootloaderKind::St10);
  EXPECT_FALSE(node->after || node->stopAfter || node->lineError || node->powerCut || node->silent);
}

struct BadNode {
  const char* text;
  const char* error;
};

class NodeConfigError : public ::testing::TestWithParam<BadNode> {};

TEST_P(NodeConfigError, SaysWhatIsWrong) {
  std::string error;
  EXPECT_FALSE(NodeConfig::Parse(GetParam().text, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NodeConfigError,
    ::testing::Values(BadNode{"address=0x30", "a node needs address= and program="},
                      BadNode{"program=144", "a node needs address= and program="},
                      BadNode{"address=0x130,program=1", "address: '0x130' is not a number from 0 to 255"},
                      BadNode{"address=0x30,program=70000", "program: '70000' is not a number from 0 to 65535"},
                      BadNode{"address=0x30,program=-1", "program: '-1' is not a number from 0 to 65535"},
                      BadNode{"address=0x30,program=1,boot=avr", "boot: 'avr' is neither st10 nor atmel"},
                      BadNode{"address=0x30,program=1,fault=loud", "unknown fault 'loud'"},
                      BadNode{"address=0x30,program=1,fault=silent=1", "unknown fault 'silent=1'"},
                      BadNode{"address=0x30,program=1,fault=stop-after=x", "stop-after: 'x' is not a number from 0 to 4294967295"},
                      BadNode{"address=0x30,program=1,colour=red", "unknown field 'colour'"},
                      BadNode{"address=0x30,program", "'program' is not key=value"}));

TEST(BenchOptions, ReadsTheGatewayAndLoopOptions) {
  std::string error;
  const auto options = Parse({"--link", "/tmp/x/com1", "--info=300,1", "--info-delay", "700", "--no-info",
                              "--drop-ack", "5", "--nak-every", "6", "--reopen-every", "7", "--garbage", "8",
                              "--bad-checksum", "9", "--chatter", "10", "--seed", "42", "--dump-dir", "/tmp/d",
                              "--control", "/tmp/c", "--trace", "/tmp/t", "--bus-bitrate", "250000",
                              "--time-limit", "30", "--node", "address=1,program=149"},
                             error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->link, "/tmp/x/com1");
  EXPECT_EQ(options->gateway.info, (std::array<uint32_t, 5>{300, 1, 0, 0, 0}));
  EXPECT_EQ(options->gateway.infoDelayMs, 700u);
  EXPECT_TRUE(options->gateway.noInfo);
  EXPECT_EQ(options->gateway.dropAckEvery, 5u);
  EXPECT_EQ(options->gateway.nakEvery, 6u);
  EXPECT_EQ(options->gateway.reopenEvery, 7u);
  EXPECT_EQ(options->gateway.garbageEvery, 8u);
  EXPECT_EQ(options->gateway.badChecksumEvery, 9u);
  EXPECT_EQ(options->gateway.chatterEvery, 10u);
  EXPECT_EQ(options->gateway.seed, 42u);
  EXPECT_EQ(options->dumpDir, "/tmp/d");
  EXPECT_EQ(options->controlPath, "/tmp/c");
  EXPECT_EQ(options->tracePath, "/tmp/t");
  EXPECT_EQ(options->busBitrate, 250000u);
  EXPECT_EQ(options->timeLimitS, 30u);
  ASSERT_EQ(options->nodes.size(), 1u);
}

TEST(BenchOptions, LinksComOneInTheDosDevicesFolderByDefault) {
  const std::string root = FreshDir("dosdevices");
  setenv("LUMEN_DOSDEVICES", root.c_str(), 1);
  std::string error;
  const auto options = Parse({}, error);
  unsetenv("LUMEN_DOSDEVICES");
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->link, root + "/com1");
  EXPECT_EQ(options->gateway.info[0], 261u);
}

struct BadArgs {
  std::vector<std::string> args;
  const char* error;
};

class BenchOptionsError : public ::testing::TestWithParam<BadArgs> {};

TEST_P(BenchOptionsError, SaysWhatIsWrong) {
  std::string error;
  EXPECT_FALSE(Parse(GetParam().args, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Args, BenchOptionsError,
    ::testing::Values(BadArgs{{"--frobnicate"}, "unknown option '--frobnicate' (see --help)"},
                      BadArgs{{"--drop-ack"}, "--drop-ack needs a value"},
                      BadArgs{{"--drop-ack", "two"}, "--drop-ack: bad value 'two'"},
                      BadArgs{{"--info", "1,2,3,4,5,6"}, "--info: '1,2,3,4,5,6' is not one to five 32-bit numbers separated by commas"},
                      BadArgs{{"--node", "address=1"}, "node 'address=1': a node needs address= and program="},
                      BadArgs{{"--node", "address=1,program=2", "--node", "address=0x01,program=3"},
                              "two nodes have the address 1"},
                      BadArgs{{"--scenario", "/nonexistent/bench.scn"},
                              "cannot read the scenario file '/nonexistent/bench.scn'"}));

TEST(BenchOptions, ScenarioFileAddsOneNodePerLine) {
  const std::string path = FreshDir("scenario") + "/bench.scn";
  std::ofstream(path) << "# a sprayer\n"
                         "--node address=0x30,program=144,boot=st10,after=145  # boom\n"
                         "\n"
                         "   address=0x01,program=149,boot=atmel,fault=slow-erase=2000\n";
  std::string error;
  const auto options = Parse({"--node", "address=0x20,program=143", "--scenario", path}, error);
  ASSERT_TRUE(options) << error;
  ASSERT_EQ(options->nodes.size(), 3u);
  EXPECT_EQ(options->nodes[1].after, 145);
  EXPECT_EQ(options->nodes[2].boot, BootloaderKind::Atmel);
  EXPECT_EQ(options->nodes[2].slowEraseMs, 2000u);

  std::ofstream(path) << "# fine\naddress=0x30,program=144\naddress=0x31\n";
  EXPECT_FALSE(Parse({"--scenario", path}, error));
  EXPECT_EQ(error, path + ":3: node 'address=0x31': a node needs address= and program=");
}

}  // namespace
