#include <gtest/gtest.h>

#include <fstream>

#include "St10Session.h"
#include "bench/CandumpTrace.h"
#include "bench/HexRecord.h"
#include "bench/VirtualBus.h"

namespace {

CanMessage Frame(uint32_t identifier, bool extended, std::vector<uint8_t> data) {
  CanMessage message;
  message.identifier = identifier;
  message.flags = extended ? CanMessage::kExtendedFlag : 0;
  message.length = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), message.data);
  return message;
}

TEST(CandumpTrace, WritesTheCandumpLogLine) {
  EXPECT_EQ(CandumpTrace::Format("can0", Frame(0x18EF0110, true, {0xBF}), 1733400000123456),
            "(1733400000.123456) can0 18EF0110#BF\n");
  EXPECT_EQ(CandumpTrace::Format("can1", Frame(0x005, false, {0x00, 0x01}), 7),
            "(0.000007) can1 005#0001\n");
  EXPECT_EQ(CandumpTrace::Format("can1", Frame(0x00000003, true, {}), 1000000), "(1.000000) can1 00000003#\n");
}

TEST(CandumpTrace, RecordsBothDirectionsOfARealExchange) {
  const std::string path = FreshDir("trace") + "/bus.log";
  BenchOptions options = NodeOptions("address=0x30,program=144");
  HostLine host(options);
  std::string error;
  ASSERT_TRUE(host.bench.StartTrace(path, error)) << error;
  host.OpenChannel();
  host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  std::ifstream file(path);
  std::string first;
  std::string second;
  std::getline(file, first);
  std::getline(file, second);
  EXPECT_NE(first.find(") can0 18EF3010#BF"), std::string::npos) << first;
  EXPECT_NE(second.find(") can1 18EF1030#C0000090FF"), std::string::npos) << second;
}

TEST(VirtualBus, FrameTimeFollowsTheBitCount) {
  EXPECT_EQ(VirtualBus::FrameTimeUs(Frame(0x005, false, {}), 250000), 188u);  // 47 bits
  EXPECT_EQ(VirtualBus::FrameTimeUs(Frame(0x18EF0110, true, {1, 2, 3, 4, 5, 6, 7, 8}), 250000), 524u);  // 131
  EXPECT_EQ(VirtualBus::FrameTimeUs(Frame(0x18EF0110, true, {1}), 0), 0u);
}

TEST(VirtualBus, FramesQueueBehindOneAnother) {
  Scheduler scheduler;
  CandumpTrace trace;
  VirtualBus bus(scheduler, 250000, trace);
  std::vector<uint64_t> arrivals;
  bus.AddNode([&](const CanMessage&) { arrivals.push_back(scheduler.Now()); });
  bus.FromGateway(Frame(0x005, false, {}));
  bus.FromGateway(Frame(0x005, false, {}));
  scheduler.Advance(375);
  EXPECT_EQ(arrivals, (std::vector<uint64_t>{188}));
  scheduler.Advance(1);
  EXPECT_EQ(arrivals, (std::vector<uint64_t>{188, 376}));
}

TEST(VirtualBus, BitRateDelaysTheCalReplyByBothFrames) {
  BenchOptions options = NodeOptions("address=0x30,program=144");
  options.busBitrate = 250000;
  HostLine host(options);
  host.OpenChannel();
  host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  host.bench.Advance(75 * 4 + 107 * 4 - 1);  // request 75 bits, reply 107 bits
  EXPECT_TRUE(host.TakeCanFrames().empty());
  host.bench.Advance(1);
  EXPECT_EQ(host.TakeCanFrames().size(), 1u);
}

TEST(Scheduler, RunsActionsInTimeOrderAndThoseTheyScheduleWithinTheStep) {
  Scheduler scheduler;
  std::string order;
  scheduler.After(20, [&] { order += 'b'; });
  scheduler.After(10, [&] {
    order += 'a';
    scheduler.After(5, [&] { order += 'c'; });
  });
  scheduler.After(20, [&] { order += 'd'; });
  scheduler.AdvanceTo(19);
  EXPECT_EQ(order, "ac");
  scheduler.AdvanceTo(20);
  EXPECT_EQ(order, "acbd");
  EXPECT_FALSE(scheduler.NextDue());
}

struct RecordCase {
  const char* line;
  bool valid;
  uint8_t type;
  uint16_t offset;
  uint8_t count;
};

class HexRecordParse : public ::testing::TestWithParam<RecordCase> {};

TEST_P(HexRecordParse, AcceptsOnlyWholeRecordsWithTheirChecksum) {
  const auto record = HexRecord::Parse(GetParam().line);
  ASSERT_EQ(record.has_value(), GetParam().valid);
  if (!record) return;
  EXPECT_EQ(record->type, GetParam().type);
  EXPECT_EQ(record->offset, GetParam().offset);
  EXPECT_EQ(record->count, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(Lines, HexRecordParse,
                         ::testing::Values(RecordCase{":10010000214601360121470136007EFE09D2190140", true, 0, 0x100, 16},
                                           RecordCase{":00000001FF", true, 1, 0, 0},
                                           RecordCase{":020000040800F2", true, 4, 0, 2},
                                           RecordCase{":020000021200ea", true, 2, 0, 2},
                                           RecordCase{":00000001FE", false, 0, 0, 0},
                                           RecordCase{":0100000001FF", false, 0, 0, 0},
                                           RecordCase{":10010000214601360121470136007EFE09D21901", false, 0, 0, 0},
                                           RecordCase{":00000001F", false, 0, 0, 0},
                                           RecordCase{"00000001FF", false, 0, 0, 0},
                                           RecordCase{":0000 001FF", false, 0, 0, 0},
                                           RecordCase{"", false, 0, 0, 0}));

}  // namespace
