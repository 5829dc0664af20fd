#include <gtest/gtest.h>

#include "St10Session.h"

namespace {

using Bytes = HostLine::Bytes;

uint32_t RequestWord(uint8_t address) { return HostLine::kMarker | (0x18EF0010u + address * 256u); }
uint32_t BootloaderWord(uint8_t address) { return 0x18EF0010u + address * 256u; }  // extended flag set

// A bench with the nodes and channel 1 open.
struct Line : HostLine {
  explicit Line(std::initializer_list<const char*> nodeTexts) : HostLine(Options(nodeTexts)) { OpenChannel(); }
  static BenchOptions Options(std::initializer_list<const char*> nodeTexts) {
    BenchOptions options;
    std::string error;
    for (const char* text : nodeTexts) options.nodes.push_back(*NodeConfig::Parse(text, error));
    return options;
  }
};

TEST(Node, CalReplyCarriesTheProgramNumberOnTheResponseIdentifier) {
  const std::vector<std::tuple<const char*, uint8_t, Bytes>> table = {
      {"address=0x30,program=144", 0x30, {0xC0, 0x00, 0x00, 0x90}},
      {"address=1,program=299", 0x01, {0xC0, 0x00, 0x00, 0x2B, 0x01}},
      {"address=0x72,program=256", 0x72, {0xC0, 0x00, 0x00, 0x00, 0x01}}};
  for (const auto& [text, address, reply] : table) {
    Line host({text});
    host.SendCan(RequestWord(address), {0xBF});
    const auto frames = host.TakeCanFrames();
    ASSERT_EQ(frames.size(), 1u) << text;
    EXPECT_EQ(frames[0].identifier, 0x18EF1000u + address);
    EXPECT_EQ(DataOf(frames[0]), reply);
  }
}

TEST(Node, AnswersOnlyItsOwnWellFormedRequest) {
  Line host({"address=0x30,program=144", "address=0x31,program=145"});
  host.SendCan(RequestWord(0x20), {0xBF});
  host.SendCan(RequestWord(0x30), {0xBE});
  host.SendCan(BootloaderWord(0x31), {0xF1, 0x00});
  host.AdvanceMs(1000);
  EXPECT_TRUE(host.TakeCanFrames().empty());
  host.SendCan(RequestWord(0x31), {0xBF});
  EXPECT_EQ(host.TakeCanFrames().size(), 1u);
}

TEST(Node, SilentNodeNeverAnswersAndOneWithoutBootloaderStaysInItsApplication) {
  Line host({"address=0x30,program=144,fault=silent", "address=0x31,program=145,fault=no-bootloader"});
  for (uint8_t address : {0x30, 0x31}) host.SendCan(BootloaderWord(address), {0xF1});
  host.AdvanceMs(2000);
  for (uint8_t address : {0x30, 0x31}) host.SendCan(RequestWord(address), {0xBF});
  const auto frames = host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].identifier, 0x18EF1031u);
}

TEST(Node, BootloaderAnnouncesAfterTheBootTimeAndNoLongerKnowsTheCalRequest) {
  const std::vector<std::tuple<const char*, uint32_t, Bytes>> table = {
      {"st10", 0x18EF10F1, {0xD0, 0x01}},  // and five version characters
      {"atmel", 0x000, {0x00, 0x01}}};
  for (const auto& [boot, identifier, announcement] : table) {
    Line host({(std::string("address=0x30,program=144,boot=") + boot).c_str()});
    host.SendCan(BootloaderWord(0x30), {0xF1});
    host.AdvanceMs(Node::kBootMs - 1);
    EXPECT_TRUE(host.TakeCanFrames().empty());
    host.AdvanceMs(1);
    const auto frames = host.TakeCanFrames();
    ASSERT_EQ(frames.size(), 1u) << boot;
    EXPECT_EQ(frames[0].identifier, identifier);
    EXPECT_EQ(Bytes(frames[0].data, frames[0].data + 2), announcement);
    EXPECT_EQ(frames[0].length, boot[0] == 's' ? 7 : 2);
    host.SendCan(RequestWord(0x30), {0xBF});
    EXPECT_TRUE(host.TakeCanFrames().empty());
  }
}

TEST(Node, PowerCycleOfAnIntactNodeBringsItsApplicationBackAndCancelsWhatItWasAboutToSay) {
  Line host({"address=0x30,program=144"});
  std::string error;
  host.SendCan(BootloaderWord(0x30), {0xF1});
  ASSERT_TRUE(host.bench.Control("power-off 48", error));
  host.SendCan(RequestWord(0x30), {0xBF});
  ASSERT_TRUE(host.bench.Control("power-on 0x30", error));
  host.AdvanceMs(1000);
  EXPECT_TRUE(host.TakeCanFrames().empty());  // no announcement: the application runs
  host.SendCan(RequestWord(0x30), {0xBF});
  EXPECT_EQ(host.TakeCanFrames().size(), 1u);
}

TEST(Bench, RefusesBadControlLinesWithAReason) {
  const std::vector<std::pair<const char*, const char*>> table = {
      {"power-off 0x31", "no node at address '0x31'"},
      {"power-on", "no node at address ''"},
      {"power-on 0x30 now", "unknown control line 'power-on 0x30 now'"},
      {"reboot", "unknown control line 'reboot'"},
      {"dump", "not every dump could be written (is --dump-dir given?)"}};
  Line host({"address=0x30,program=144"});
  for (const auto& [line, reason] : table) {
    std::string error;
    EXPECT_FALSE(host.bench.Control(line, error));
    EXPECT_EQ(error, reason);
  }
}

}  // namespace
