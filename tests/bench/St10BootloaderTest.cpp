#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "St10Session.h"
#include "bench/St10Bootloader.h"

namespace {

using Replies = St10Session::Replies;
const std::vector<uint8_t> kLineOk = {0xD4, 0x01};
const std::vector<uint8_t> kFinished = {0xD5, 0x01};
const std::vector<uint8_t> kStartOk = {0xD1, 0x01};
const std::vector<uint8_t> kEraseOk = {0xD2, 0x01};

std::string Lines(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\r\n";
  return text;
}

// Two data records with a gap, as a small application file.
const std::string kFile = Lines({Record(0x04, 0, {0x00, 0x00}),
                                 Record(0x00, 0x0000, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}),
                                 Record(0x00, 0x0020, {0xAA, 0xBB, 0xCC, 0xDD}), Record(0x01, 0, {})});

TEST(St10Bootloader, ProgramsAWholeFileAndComesBackWithTheNewProgram) {
  const std::string dumps = FreshDir("st10-update");
  St10Session session("address=0x30,program=144,after=145", dumps);
  const Replies replies = session.Program(kFile);
  EXPECT_EQ(replies, (Replies{kStartOk, kEraseOk, {0xD3, 0x00}, kLineOk, kLineOk, kLineOk, kFinished}));
  session.Send("<Reset>");
  EXPECT_EQ(session.TakeReplies(), (Replies{{0xD6, 0x00}}));

  Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.InBootloader());
  EXPECT_EQ(node.Program(), 145);
  std::vector<uint8_t> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  expected.resize(0x20, 0xFF);
  expected.insert(expected.end(), {0xAA, 0xBB, 0xCC, 0xDD});
  EXPECT_EQ(ReadFile(dumps + "/node-30.bin"), expected);
  EXPECT_NE(std::find(session.host.events.begin(), session.host.events.end(), "node 30: update complete, program 145"),
            session.host.events.end());
}

TEST(St10Bootloader, TakesLinesCutAtAnyPointAndLinesOfWholeFrames) {
  St10Session session("address=0x30,program=144");
  session.Send("<Start>");
  session.Send("<Erase>");
  session.Send("<Prog>");
  session.TakeReplies();
  // 15 characters and LF: two frames of 8; then the same line in 1-character frames.
  const std::string line = Record(0x04, 0, {0x00, 0x00}) + "\n";
  ASSERT_EQ(line.size(), 16u);
  session.Send(line.substr(0, 8));
  EXPECT_TRUE(session.TakeReplies().empty());
  session.Send(line.substr(8));
  EXPECT_EQ(session.TakeReplies(), Replies{kLineOk});
  for (char c : line) session.Send(std::string(1, c));
  EXPECT_EQ(session.TakeReplies(), Replies{kLineOk});
}

TEST(St10Bootloader, AddressRecordsMoveTheData) {
  const std::string dumps = FreshDir("st10-address");
  St10Session session("address=0x30,program=144", dumps);
  session.Program(Lines({Record(0x02, 0, {0x10, 0x00}), Record(0x00, 0x0004, {0x11, 0x22}),
                         Record(0x04, 0, {0x00, 0x02}), Record(0x00, 0x0000, {0x33}), Record(0x01, 0, {})}));
  session.Send("<Reset>");
  const std::vector<uint8_t> image = ReadFile(dumps + "/node-30.bin");
  ASSERT_EQ(image.size(), 0x20001u);
  EXPECT_EQ(image[0x10004], 0x11);
  EXPECT_EQ(image[0x10005], 0x22);
  EXPECT_EQ(image[0x20000], 0x33);
  EXPECT_EQ(image[0], 0xFF);
}

struct BadLine {
  const char* name;
  std::string line;
};

class St10BadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(St10BadLine, IsReportedWithItsNumberAndEndsTheStream) {
  St10Session session("address=0x30,program=144");
  const Replies replies = session.Program(Lines({Record(0x04, 0, {0x00, 0x00}), Record(0x00, 0, {1, 2})}) +
                                          GetParam().line + "\r\n" + Lines({Record(0x00, 8, {3}), Record(0x01, 0, {})}));
  ASSERT_GE(replies.size(), 3u);
  EXPECT_EQ(replies.back(), (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x03}));
  EXPECT_EQ(std::count(replies.begin(), replies.end(), kLineOk), 2);
  EXPECT_FALSE(session.host.bench.FindNode(0x30)->bootloader().UpdateComplete());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, St10BadLine,
    ::testing::Values(BadLine{"Checksum", ":0200000001020A"}, BadLine{"CountTooLarge", ":0300000001020A"},
                      BadLine{"NotHex", ":02000000010G0A"}, BadLine{"NoColon", "0200000001020B"},
                      BadLine{"Truncated", ":0200"}, BadLine{"UnknownType", Record(0x07, 0, {})},
                      BadLine{"AddressRecordOfThreeBytes", Record(0x04, 0, {0, 0, 0})},
                      BadLine{"EndlessLine", std::string(700, 'F')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(St10Bootloader, EmptyLinesAndStartAddressesAreAccepted) {
  St10Session session("address=0x30,program=144");
  const Replies replies = session.Program("\r\n" + Lines({Record(0x05, 0, {0, 0, 1, 0}), Record(0x03, 0, {0, 0, 1, 0}),
                                                          Record(0x01, 0, {})}));
  EXPECT_EQ(std::count(replies.begin(), replies.end(), kLineOk), 3);
  EXPECT_EQ(replies.back(), kFinished);
}

// The console prints data[2] and data[3] with "%X" each, reads the text back
// as one hexadecimal number and shows it in decimal.
uint32_t ConsoleLineNumber(uint8_t x, uint8_t y) {
  char text[8];
  std::snprintf(text, sizeof text, "%X%X", x, y);
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 16));
}

TEST(St10LineNumber, ReadsBackRightForEveryLineUpTo4095) {
  EXPECT_EQ(St10Bootloader::LineNumberBytes(300), (std::pair<uint8_t, uint8_t>{0x01, 0x2C}));
  EXPECT_EQ(St10Bootloader::LineNumberBytes(21), (std::pair<uint8_t, uint8_t>{0x00, 0x15}));
  for (uint32_t n = 1; n < 0x1000; ++n) {
    const auto [x, y] = St10Bootloader::LineNumberBytes(n);
    ASSERT_EQ(ConsoleLineNumber(x, y), n) << n;
  }
  for (uint32_t n : {0x1010u, 0x2345u, 0xFFFFu}) {
    const auto [x, y] = St10Bootloader::LineNumberBytes(n);
    EXPECT_EQ(ConsoleLineNumber(x, y), n) << n;
  }
}

TEST(St10Bootloader, ConfiguredLineErrorStrikesOnceAndTheRetrySucceeds) {
  St10Session session("address=0x30,program=144,after=150,fault=line-error=261");
  std::vector<std::string> records = {Record(0x04, 0, {0x00, 0x00})};
  for (uint16_t i = 0; i < 300; ++i) records.push_back(Record(0x00, static_cast<uint16_t>(i * 4), {1, 2, 3, 4}));
  records.push_back(Record(0x01, 0, {}));
  const std::string file = Lines(records);
  EXPECT_EQ(session.Program(file).back(), (std::vector<uint8_t>{0x00, 0x40, 0x10, 0x05}));
  EXPECT_EQ(session.Program(file).back(), kFinished);
  session.Send("<Reset>");
  EXPECT_EQ(session.host.bench.FindNode(0x30)->Program(), 150);
}

TEST(St10Bootloader, StopAfterLeavesLaterLinesUnansweredOnce) {
  St10Session session("address=0x30,program=144,fault=stop-after=2");
  const std::string file = Lines({Record(0x04, 0, {0, 0}), Record(0x00, 0, {1}), Record(0x00, 1, {2}),
                                  Record(0x01, 0, {})});
  const Replies first = session.Program(file);
  EXPECT_EQ(std::count(first.begin(), first.end(), kLineOk), 2);
  EXPECT_NE(first.back(), kFinished);
  EXPECT_EQ(session.Program(file).back(), kFinished);
}

TEST(St10Bootloader, SlowEraseAndLateStartDelayTheirAnswers) {
  St10Session session("address=0x30,program=144,fault=slow-erase=3000,fault=late-start=7000");
  session.Send("<Start>");
  session.host.AdvanceMs(6999);
  EXPECT_TRUE(session.TakeReplies().empty());
  session.host.AdvanceMs(1);
  EXPECT_EQ(session.TakeReplies(), Replies{kStartOk});
  session.Send("<Erase>");
  session.host.AdvanceMs(2999);
  EXPECT_TRUE(session.TakeReplies().empty());
  session.host.AdvanceMs(1);
  EXPECT_EQ(session.TakeReplies(), Replies{kEraseOk});
}

TEST(St10Bootloader, DataBeforeAnyEraseIsRefusedAsNotErased) {
  St10Session session("address=0x30,program=144");
  session.Send("<Start>");
  session.Send("<Prog>");
  session.Stream(Lines({Record(0x00, 0, {1})}));
  EXPECT_EQ(session.TakeReplies().back(), (std::vector<uint8_t>{0x00, 0x08}));
}

TEST(St10Bootloader, DataBeyondTheAddressSpaceIsAnInvalidAddress) {
  St10Session session("address=0x30,program=144");
  const Replies replies = session.Program(Lines({Record(0x04, 0, {0x01, 0x00}), Record(0x00, 0x1234, {1})}));
  // 0x01001234: low word in data[2] and data[3], high word in data[4] and data[5]
  EXPECT_EQ(replies.back(), (std::vector<uint8_t>{0x00, 0x80, 0x12, 0x34, 0x01, 0x00}));
}

TEST(St10Bootloader, TextOutsideProgrammingIsIgnored) {
  St10Session session("address=0x30,program=144");
  session.Stream(Lines({Record(0x00, 0, {1})}));
  EXPECT_TRUE(session.TakeReplies().empty());
}

TEST(St10Bootloader, ResetAfterAnUnfinishedUpdateRestartsTheBootloader) {
  St10Session session("address=0x30,program=144");
  session.Program(Lines({Record(0x00, 0, {1})}));
  session.Send("<Reset>");
  session.host.AdvanceMs(Node::kBootMs);
  const Replies replies = session.TakeReplies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[1][0], 0xD0);
  EXPECT_TRUE(session.host.bench.FindNode(0x30)->InBootloader());
}

TEST(St10Bootloader, ResetBeforeAnyEraseReturnsToTheOldApplication) {
  St10Session session("address=0x30,program=144,after=150");
  session.Send("<Start>");
  session.Send("<Reset>");
  const Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.InBootloader());
  EXPECT_EQ(node.Program(), 144);
}

TEST(St10Bootloader, PowerCutMidUpdateLeavesANodeThatComesUpInItsBootloader) {
  St10Session session("address=0x30,program=144,after=146,fault=power-cut=2");
  const std::string file = Lines({Record(0x04, 0, {0, 0}), Record(0x00, 0, {1}), Record(0x00, 1, {2}),
                                  Record(0x01, 0, {})});
  const Replies cut = session.Program(file);
  EXPECT_EQ(std::count(cut.begin(), cut.end(), kLineOk), 2);
  Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.Powered());
  EXPECT_FALSE(node.HasApplication());

  std::string error;
  ASSERT_TRUE(session.host.bench.Control("power-on 0x30", error));
  session.host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  EXPECT_TRUE(session.TakeReplies().empty());  // no Cal Reply either
  session.host.AdvanceMs(Node::kBootMs);
  const Replies announcement = session.TakeReplies();
  ASSERT_EQ(announcement.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(announcement[0].begin(), announcement[0].begin() + 2),
            (std::vector<uint8_t>{0xD0, 0x01}));

  EXPECT_EQ(session.Program(file).back(), kFinished);  // recovery
  session.Send("<Reset>");
  EXPECT_EQ(node.Program(), 146);
  EXPECT_TRUE(node.HasApplication());
}

}  // namespace
