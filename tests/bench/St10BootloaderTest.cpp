#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "St10Session.h"
#include "bench/St10Bootloader.h"

namespace {

using Bytes = HostLine::Bytes;
using Replies = St10Session::Replies;
const Bytes kLineOk = {0xD4, 0x01};
const Bytes kFinished = {0xD5, 0x01};
const std::string kNode = "address=0x30,program=144";

int Count(const Replies& replies, const Bytes& reply) { return int(std::count(replies.begin(), replies.end(), reply)); }

// A segment record, two data records, the end.
const std::string kSmallFile = Lines({Record(0x04, 0, {0, 0}), Record(0x00, 0, {1}), Record(0x00, 1, {2}),
                                      Record(0x01, 0, {})});

TEST(St10Bootloader, ProgramsAWholeFileAndComesBackWithTheNewProgram) {
  const std::string dumps = FreshDir("st10-update");
  St10Session session(kNode + ",after=145", dumps);
  const Bytes first = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(session.Program(Lines({Record(0x04, 0, {0, 0}), Record(0x00, 0, first),
                                   Record(0x00, 0x20, {0xAA, 0xBB, 0xCC, 0xDD}), Record(0x01, 0, {})})),
            (Replies{{0xD1, 0x01}, {0xD2, 0x01}, {0xD3, 0x00}, kLineOk, kLineOk, kLineOk, kFinished}));
  session.Send("<Reset>");
  EXPECT_EQ(session.TakeReplies(), (Replies{{0xD6, 0x00}}));
  const Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.InBootloader());
  EXPECT_EQ(node.Program(), 145);
  Bytes image = first;
  image.resize(0x20, 0xFF);
  image.insert(image.end(), {0xAA, 0xBB, 0xCC, 0xDD});
  EXPECT_EQ(ReadFile(dumps + "/node-30.bin"), image);
  const auto& events = session.host.events;
  EXPECT_NE(std::find(events.begin(), events.end(), "node 30: update complete, program 145"), events.end());
}

TEST(St10Bootloader, TakesLinesCutAtAnyPointAndLinesOfWholeFrames) {
  St10Session session(kNode);
  session.Program("");
  const std::string line = Record(0x04, 0, {0x00, 0x00}) + "\n";  // 15 characters and LF
  session.Send(line.substr(0, 8));
  EXPECT_TRUE(session.TakeReplies().empty());
  session.Send(line.substr(8));
  EXPECT_EQ(session.TakeReplies(), Replies{kLineOk});
  for (char c : line) session.Send(std::string(1, c));
  EXPECT_EQ(session.TakeReplies(), Replies{kLineOk});
}

TEST(St10Bootloader, AddressRecordsMoveTheDataAndOthersAreAccepted) {
  const std::string dumps = FreshDir("st10-address");
  St10Session session(kNode, dumps);
  EXPECT_EQ(session.Program("\r\n" + Lines({Record(0x02, 0, {0x10, 0x00}), Record(0x00, 4, {0x11, 0x22}),
                                             Record(0x04, 0, {0x00, 0x02}), Record(0x00, 0, {0x33}),
                                             Record(0x05, 0, {0, 0, 1, 0}), Record(0x03, 0, {0, 0, 1, 0}),
                                             Record(0x01, 0, {})}))
                .back(),
            kFinished);
  session.Send("<Reset>");
  const Bytes image = ReadFile(dumps + "/node-30.bin");
  ASSERT_EQ(image.size(), 0x20001u);
  EXPECT_EQ(Bytes({image[0], image[0x10004], image[0x10005], image[0x20000]}), (Bytes{0xFF, 0x11, 0x22, 0x33}));
}

struct BadLine {
  const char* name;
  std::string line;
};

class St10BadLine : public testing::TestWithParam<BadLine> {};

TEST_P(St10BadLine, IsReportedWithItsNumberAndEndsTheStream) {
  St10Session session(kNode);
  const Replies replies = session.Program(Lines({Record(0x04, 0, {0, 0}), Record(0x00, 0, {1, 2}), GetParam().line,
                                                 Record(0x00, 8, {3}), Record(0x01, 0, {})}));
  EXPECT_EQ(replies.back(), (Bytes{0x00, 0x40, 0x00, 0x03}));
  EXPECT_EQ(Count(replies, kLineOk), 2);
  EXPECT_FALSE(session.host.bench.FindNode(0x30)->bootloader().UpdateComplete());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, St10BadLine,
    testing::Values(BadLine{"Checksum", ":0200000001020A"}, BadLine{"CountTooLarge", ":0300000001020A"},
                    BadLine{"NotHex", ":02000000010G0A"}, BadLine{"NoColon", "0200000001020B"},
                    BadLine{"Truncated", ":0200"}, BadLine{"UnknownType", Record(0x07, 0, {})},
                    BadLine{"AddressRecordOfThreeBytes", Record(0x04, 0, {0, 0, 0})},
                    BadLine{"EndlessLine", std::string(700, 'F')}),
    [](const auto& info) { return std::string(info.param.name); });

// The console prints data[2] and data[3] with "%X" each, reads the text back
// as one hexadecimal number and shows it in decimal.
TEST(St10Bootloader, LineNumberBytesReadBackRightAsTheConsoleReadsThem) {
  std::vector<uint32_t> numbers = {0x1010, 0x2345, 0xFFFF};
  for (uint32_t n = 1; n < 0x1000; ++n) numbers.push_back(n);
  for (uint32_t n : numbers) {
    const auto [x, y] = St10Bootloader::LineNumberBytes(n);
    char text[8];
    std::snprintf(text, sizeof text, "%X%X", x, y);
    ASSERT_EQ(std::strtoul(text, nullptr, 16), n);
  }
}

TEST(St10Bootloader, ConfiguredLineErrorStrikesOnceAndTheRetrySucceeds) {
  St10Session session(kNode + ",after=150,fault=line-error=261");
  std::vector<std::string> records = {Record(0x04, 0, {0x00, 0x00})};
  for (uint16_t i = 0; i < 300; ++i) records.push_back(Record(0x00, static_cast<uint16_t>(i * 4), {1, 2, 3, 4}));
  records.push_back(Record(0x01, 0, {}));
  EXPECT_EQ(session.Program(Lines(records)).back(), (Bytes{0x00, 0x40, 0x10, 0x05}));
  EXPECT_EQ(session.Program(Lines(records)).back(), kFinished);
  session.Send("<Reset>");
  EXPECT_EQ(session.host.bench.FindNode(0x30)->Program(), 150);
}

TEST(St10Bootloader, StopAfterLeavesLaterLinesUnansweredOnce) {
  St10Session session(kNode + ",fault=stop-after=2");
  const Replies first = session.Program(kSmallFile);
  EXPECT_EQ(Count(first, kLineOk), 2);
  EXPECT_NE(first.back(), kFinished);
  EXPECT_EQ(session.Program(kSmallFile).back(), kFinished);
}

TEST(St10Bootloader, SlowEraseAndLateStartDelayTheirAnswers) {
  St10Session session(kNode + ",fault=slow-erase=3000,fault=late-start=7000");
  for (const auto& [command, delayMs] : {std::pair{"<Start>", 7000}, std::pair{"<Erase>", 3000}}) {
    session.Send(command);
    session.host.AdvanceMs(delayMs - 1);
    EXPECT_TRUE(session.TakeReplies().empty()) << command;
    session.host.AdvanceMs(1);
    EXPECT_EQ(session.TakeReplies().size(), 1u) << command;
  }
}

TEST(St10Bootloader, RefusesDataBeforeAnyEraseAndBeyondTheAddressSpace) {
  St10Session session(kNode);
  session.Stream(Lines({Record(0x00, 0, {1})}));  // outside programming: ignored
  EXPECT_TRUE(session.TakeReplies().empty());
  session.Send("<Start>");
  session.Send("<Prog>");
  session.Stream(Lines({Record(0x00, 0, {1})}));
  EXPECT_EQ(session.TakeReplies().back(), (Bytes{0x00, 0x08}));
  // 0x01001234: low word in data[2] and data[3], high word in data[4] and data[5]
  EXPECT_EQ(session.Program(Lines({Record(0x04, 0, {0x01, 0x00}), Record(0x00, 0x1234, {1})})).back(),
            (Bytes{0x00, 0x80, 0x12, 0x34, 0x01, 0x00}));
}

TEST(St10Bootloader, ResetReturnsToTheOldApplicationBeforeAnyEraseAndToTheBootloaderAfter) {
  St10Session session(kNode + ",after=150");
  session.Send("<Start>");
  session.Send("<Reset>");
  const Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.InBootloader());
  EXPECT_EQ(node.Program(), 144);

  St10Session erased(kNode);
  erased.Program(Lines({Record(0x00, 0, {1})}));
  erased.Send("<Reset>");
  erased.host.AdvanceMs(Node::kBootMs);
  EXPECT_EQ(erased.TakeReplies().back()[0], 0xD0);
  EXPECT_TRUE(erased.host.bench.FindNode(0x30)->InBootloader());
}

TEST(St10Bootloader, PowerCutMidUpdateLeavesANodeThatComesUpInItsBootloader) {
  St10Session session(kNode + ",after=146,fault=power-cut=2");
  EXPECT_EQ(Count(session.Program(kSmallFile), kLineOk), 2);
  Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.Powered());
  EXPECT_FALSE(node.HasApplication());
  std::string error;
  ASSERT_TRUE(session.host.bench.Control("power-on 0x30", error));
  session.host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  EXPECT_TRUE(session.host.TakeCanFrames().empty());  // no Cal Reply either
  session.host.AdvanceMs(Node::kBootMs);
  const Replies announcement = session.TakeReplies();
  ASSERT_EQ(announcement.size(), 1u);
  EXPECT_EQ(Bytes(announcement[0].begin(), announcement[0].begin() + 2), (Bytes{0xD0, 0x01}));
  EXPECT_EQ(session.Program(kSmallFile).back(), kFinished);  // recovery
  session.Send("<Reset>");
  EXPECT_EQ(node.Program(), 146);
}

}  // namespace
