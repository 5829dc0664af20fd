#include <gtest/gtest.h>

#include "St10Session.h"
#include "bench/CandumpTrace.h"
#include "bench/HexRecord.h"
#include "bench/VirtualBus.h"

namespace {

CanMessage Frame(uint32_t identifier, bool extended, HostLine::Bytes data) {
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
  EXPECT_EQ(CandumpTrace::Format("can1", Frame(0x005, false, {0x00, 0x01}), 7), "(0.000007) can1 005#0001\n");
  EXPECT_EQ(CandumpTrace::Format("can1", Frame(0x00000003, true, {}), 1000000), "(1.000000) can1 00000003#\n");
}

TEST(CandumpTrace, RecordsBothDirectionsOfARealExchange) {
  HostLine host(NodeOptions("address=0x30,program=144"));
  host.OpenChannel();
  host.SendCan(HostLine::kMarker | 0x18EF3010, {0xBF});
  EXPECT_EQ(host.TakeBus(), (std::vector<std::string>{"can0 18EF3010#BF", "can1 18EF1030#C0000090FF"}));
}

TEST(VirtualBus, FrameTimeFollowsTheBitCountAndFramesQueueBehindOneAnother) {
  EXPECT_EQ(VirtualBus::FrameTimeUs(Frame(0x18EF0110, true, {1, 2, 3, 4, 5, 6, 7, 8}), 250000), 524u);  // 131 bits
  EXPECT_EQ(VirtualBus::FrameTimeUs(Frame(0x18EF0110, true, {1}), 0), 0u);
  Scheduler scheduler;
  CandumpTrace trace;
  VirtualBus bus(scheduler, 250000, trace);
  std::vector<uint64_t> arrivals;
  bus.AddNode([&](const CanMessage&) { arrivals.push_back(scheduler.Now()); });
  bus.FromGateway(Frame(0x005, false, {}));  // 47 bits: 188 us
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

TEST(HexRecord, AcceptsOnlyWholeRecordsWithTheirChecksum) {
  const std::vector<std::pair<const char*, std::string>> table = {  // line, "type offset count" when valid
      {":10010000214601360121470136007EFE09D2190140", "0 256 16"},
      {":00000001FF", "1 0 0"},
      {":020000040800F2", "4 0 2"},
      {":020000021200ea", "2 0 2"},
      {":00000001FE", ""},
      {":0100000001FF", ""},
      {":10010000214601360121470136007EFE09D21901", ""},
      {":00000001F", ""},
      {"00000001FF", ""},
      {":0000 001FF", ""},
      {"", ""}};
  for (const auto& [line, expected] : table) {
    const auto record = HexRecord::Parse(line);
    const std::string got = record ? std::to_string(record->type) + " " + std::to_string(record->offset) + " " +
                                         std::to_string(record->count)
                                   : "";
    EXPECT_EQ(got, expected) << line;
  }
}

}  // namespace
