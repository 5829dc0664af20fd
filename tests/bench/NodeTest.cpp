#include <gtest/gtest.h>

#include "HostLine.h"

namespace {

uint32_t RequestWord(uint8_t address) { return HostLine::kMarker | (0x18EF0010u + address * 256u); }
uint32_t BootloaderWord(uint8_t address) { return 0x18EF0010u + address * 256u; }  // extended flag set

BenchOptions Nodes(std::initializer_list<const char*> nodeTexts) {
  BenchOptions options;
  for (const char* nodeText : nodeTexts) {
    std::string error;
    options.nodes.push_back(*NodeConfig::Parse(nodeText, error));
  }
  return options;
}

struct CalCase {
  const char* nodeText;
  uint8_t address;
  std::vector<uint8_t> reply;  // as the console receives it, 0xFF tail cut
};

class CalReply : public ::testing::TestWithParam<CalCase> {};

TEST_P(CalReply, CarriesTheProgramNumberOnTheResponseIdentifier) {
  HostLine host(Nodes({GetParam().nodeText}));
  host.OpenChannel();
  host.SendCan(RequestWord(GetParam().address), {0xBF});
  const auto frames = host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].identifier, 0x18EF1000u + GetParam().address);
  EXPECT_EQ(DataOf(frames[0]), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Programs, CalReply,
                         ::testing::Values(CalCase{"address=0x30,program=144", 0x30, {0xC0, 0x00, 0x00, 0x90}},
                                           CalCase{"address=1,program=299", 0x01, {0xC0, 0x00, 0x00, 0x2B, 0x01}},
                                           CalCase{"address=0x35,program=251", 0x35, {0xC0, 0x00, 0x00, 0xFB}},
                                           CalCase{"address=0x72,program=256", 0x72, {0xC0, 0x00, 0x00, 0x00, 0x01}}));

TEST(Node, AnswersOnlyItsOwnRequest) {
  HostLine host(Nodes({"address=0x30,program=144", "address=0x31,program=145"}));
  host.OpenChannel();
  host.SendCan(RequestWord(0x20), {0xBF});
  host.SendCan(RequestWord(0x30), {0xBE});
  EXPECT_TRUE(host.TakeCanFrames().empty());
  host.SendCan(RequestWord(0x31), {0xBF});
  EXPECT_EQ(host.TakeCanFrames().size(), 1u);
}

TEST(Node, SilentNodeNeverAnswers) {
  HostLine host(Nodes({"address=0x30,program=144,fault=silent"}));
  host.OpenChannel();
  host.SendCan(RequestWord(0x30), {0xBF});
  host.SendCan(BootloaderWord(0x30), {0xF1});
  host.AdvanceMs(2000);
  EXPECT_TRUE(host.TakeCanFrames().empty());
}

struct EntryCase {
  const char* nodeText;
  uint32_t identifier;
  std::vector<uint8_t> announcement;
};

class BootloaderEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(BootloaderEntry, AnnouncesWithinASecondAndLeavesTheApplication) {
  HostLine host(Nodes({GetParam().nodeText}));
  host.OpenChannel();
  host.SendCan(BootloaderWord(0x30), {0xF1});
  EXPECT_TRUE(host.TakeCanFrames().empty());
  host.AdvanceMs(Node::kBootMs);
  const auto frames = host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].identifier, GetParam().identifier);
  EXPECT_EQ(std::vector<uint8_t>(frames[0].data, frames[0].data + 2), GetParam().announcement);
  host.SendCan(RequestWord(0x30), {0xBF});
  EXPECT_TRUE(host.TakeCanFrames().empty());  // the bootloader does not know the Cal Request
}

INSTANTIATE_TEST_SUITE_P(Kinds, BootloaderEntry,
                         ::testing::Values(EntryCase{"address=0x30,program=144,boot=st10", 0x18EF10F1,
                                                     {0xD0, 0x01}},
                                           EntryCase{"address=0x30,program=144,boot=atmel", 0x000, {0x00, 0x01}}));

TEST(Node, St10AnnouncementCarriesFiveVersionCharacters) {
  HostLine host(Nodes({"address=0x30,program=144"}));
  host.OpenChannel();
  host.SendCan(BootloaderWord(0x30), {0xF1});
  host.AdvanceMs(Node::kBootMs);
  const auto frames = host.TakeCanFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].length, 7);
}

TEST(Node, IgnoresTheBootloaderCommandWhenItHasNoneOrItIsMalformed) {
  HostLine host(Nodes({"address=0x30,program=144,fault=no-bootloader", "address=0x31,program=145"}));
  host.OpenChannel();
  host.SendCan(BootloaderWord(0x30), {0xF1});
  host.SendCan(BootloaderWord(0x31), {0xF1, 0x00});
  host.AdvanceMs(1000);
  EXPECT_TRUE(host.TakeCanFrames().empty());
  host.SendCan(RequestWord(0x30), {0xBF});
  host.SendCan(RequestWord(0x31), {0xBF});
  EXPECT_EQ(host.TakeCanFrames().size(), 2u);
}

TEST(Node, PowerCycleOfAnIntactNodeBringsItsApplicationBack) {
  HostLine host(Nodes({"address=0x30,program=144"}));
  host.OpenChannel();
  std::string error;
  ASSERT_TRUE(host.bench.Control("power-off 0x30", error));
  host.SendCan(RequestWord(0x30), {0xBF});
  EXPECT_TRUE(host.TakeCanFrames().empty());
  ASSERT_TRUE(host.bench.Control("power-on 0x30", error));
  host.AdvanceMs(1000);
  EXPECT_TRUE(host.TakeCanFrames().empty());  // no announcement: the application runs
  host.SendCan(RequestWord(0x30), {0xBF});
  EXPECT_EQ(host.TakeCanFrames().size(), 1u);
}

TEST(Node, PowerLossCancelsWhatTheNodeWasAboutToSay) {
  HostLine host(Nodes({"address=0x30,program=144"}));
  host.OpenChannel();
  host.SendCan(BootloaderWord(0x30), {0xF1});
  std::string error;
  ASSERT_TRUE(host.bench.Control("power-off 48", error));
  host.AdvanceMs(1000);
  EXPECT_TRUE(host.TakeCanFrames().empty());
}

struct ControlCase {
  const char* line;
  const char* error;
};

class BadControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(BadControl, IsRefusedWithAReason) {
  HostLine host(Nodes({"address=0x30,program=144"}));
  std::string error;
  EXPECT_FALSE(host.bench.Control(GetParam().line, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Lines, BadControl,
                         ::testing::Values(ControlCase{"power-off 0x31", "no node at address '0x31'"},
                                           ControlCase{"power-on", "no node at address ''"},
                                           ControlCase{"power-on 0x30 now", "unknown control line 'power-on 0x30 now'"},
                                           ControlCase{"reboot", "unknown control line 'reboot'"},
                                           ControlCase{"dump", "not every dump could be written (is --dump-dir given?)"}));

}  // namespace
