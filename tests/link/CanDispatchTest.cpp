#include "link/CanDispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "system/Clock.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/PtyGateway.h"
#include "tests/support/TempDosDevices.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<Bytes>;

// Line bytes of a packet, checksum appended: host and gateway frames alike.
Bytes Line(Bytes packet) {
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  Bytes line(2 + 2 * packet.size());
  line.resize(frame::Encode(packet.data(), packet.size(), line.data()));
  return line;
}

Bytes DataLine(uint8_t channel, uint16_t id, Bytes payload) {
  payload.insert(payload.begin(), {channel, frame::kData, uint8_t(id), uint8_t(id >> 8)});
  return Line(payload);
}

// A CanFrame: identifier word (most significant byte first), then the data.
Bytes Can(uint32_t word, Bytes data, uint8_t channel = 1) {
  data.insert(data.begin(), {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)});
  return DataLine(channel, frame::kCanFrame, data);
}

const Bytes kAck1 = Line({1, frame::kAck});
const Bytes kNak = Line({0, frame::kNak});
const Bytes kReopen1 = Line({1, frame::kReopen});
const Bytes kOpen1 = DataLine(1, frame::kOpenChannel, {1, 0});
const Bytes kData8 = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr uint32_t kSentinel = 0x1FFFFFFF;

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A CanDispatch on a fake port whose gateway acknowledges OpenChannel and
// CanFrame packets as configured; what channel 1 receives is recorded.
class CanDispatchTest : public testing::Test {
 protected:
  CanDispatchTest() {
    current = this;
    port->onWrite = [this](const Bytes& line) {
      Bytes packet(line.size());
      packet.resize(frame::Decode(line.data(), line.size(), packet.data()));
      if (packet.size() < 7 || packet[1] != frame::kData) return;
      if (packet[2] == frame::kOpenChannel && acksOpenChannel) port->Feed(Line({packet[4], frame::kAck}));
      if (packet[2] != frame::kCanFrame) return;
      if (acksCanFrames) port->Feed(Line({packet[0], frame::kAck}));
      if (onFrameWritten) onFrameWritten(line);
    };
  }
  ~CanDispatchTest() override { link.Shutdown(); }

  void OpenWithChannel() {
    link.Open("COM1", 1500000);
    ASSERT_EQ(link.CreateChannel(0, OnFrame), 1);
    if (acksOpenChannel) {
      ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(1); }));
    }
  }
  bool Queue(uint32_t identifier, Bytes data, uint8_t channel = 1) {
    CanMessage message;
    message.identifier = identifier;
    message.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), message.data);
    return link.QueueCanFrame(channel, message, message.data);
  }
  // Waits until the host wrote count frames; those after the first skip.
  Lines WrittenAfter(size_t skip, size_t count) {
    EXPECT_TRUE(port->WaitForWrites(count)) << port->Written().size() << " of " << count << " written";
    const Lines written = port->Written();
    return written.size() < skip ? Lines{} : Lines(written.begin() + static_cast<long>(skip), written.end());
  }
  // Feeds a sentinel CanFrame on channel 1 and waits until it was handed on:
  // everything fed before is handled, the sentinel's Ack is the last write.
  void Settle() {
    const int settled = settled_;
    port->Feed(Can(kSentinel, Bytes(8, 0xFF)));
    ASSERT_TRUE(WaitUntil([&] { return settled_ > settled; }));
  }
  std::vector<uint32_t> Delivered() {
    std::lock_guard lock(mutex_);
    return delivered_;
  }

  FakeSerialPort* port = new FakeSerialPort;
  CanDispatch link{std::unique_ptr<SerialPort>(port)};
  bool acksOpenChannel = true;
  bool acksCanFrames = true;
  std::function<void(const Bytes&)> onFrameWritten;  // after the gateway's own answer
  std::function<void(const CanMessage&)> onDelivery;  // on the receive thread, inside the callback

 private:
  static void OnFrame(int value) {
    EXPECT_EQ(value, 1);
    CanMessage message;
    current->link.GetLastFrame(1, message);
    if (message.identifier == kSentinel) {
      ++current->settled_;
      return;
    }
    {
      std::lock_guard lock(current->mutex_);
      current->delivered_.push_back(message.identifier);
    }
    if (current->onDelivery) current->onDelivery(message);
  }
  static inline CanDispatchTest* current = nullptr;
  std::atomic<int> settled_{0};
  std::mutex mutex_;
  std::vector<uint32_t> delivered_;
};

// ---- Sending ---------------------------------------------------------------

TEST_F(CanDispatchTest, OpensTheNamedPortAndItsChannelAndAsksForInfo) {
  OpenWithChannel();
  link.RequestInfo();
  EXPECT_EQ(port->OpenedName() + "@" + std::to_string(port->OpenedBaud()), "COM1@1500000");
  EXPECT_EQ(WrittenAfter(0, 2), (Lines{kOpen1, DataLine(1, frame::kInfoRequest, {})}));
}

TEST_F(CanDispatchTest, FramesGoOutInQueueOrderWithTheStandardMarker) {
  OpenWithChannel();
  CanMessage message;
  message.identifier = 0x18EF0110;
  message.length = 1;
  message.data[0] = 0xBF;
  ASSERT_TRUE(link.QueueCanFrame(1, message, message.data));
  EXPECT_EQ(message.identifier, 0x38EF0110u);  // the caller's record carries bit 29 from now on
  ASSERT_TRUE(link.QueueCanFrame(1, message, message.data));
  message.identifier = 0x18EFF110;
  message.flags = CanMessage::kExtendedFlag;
  ASSERT_TRUE(link.QueueCanFrame(1, message, message.data));
  ASSERT_TRUE(Queue(0x005, {}));
  EXPECT_EQ(WrittenAfter(1, 5), (Lines{Can(0x38EF0110, {0xBF}), Can(0x38EF0110, {0xBF}), Can(0x18EFF110, {0xBF}),
                                       Can(0x20000005, {})}));
}

TEST_F(CanDispatchTest, NextFrameWaitsForTheAckOfThePrevious) {
  acksCanFrames = false;
  OpenWithChannel();
  ASSERT_TRUE(Queue(0x100, {1}));
  ASSERT_TRUE(Queue(0x200, {2}));
  EXPECT_FALSE(port->WaitForWrites(3, 100));
  port->Feed(kAck1);  // within 200 ms: no time-out, no reopening
  EXPECT_EQ(WrittenAfter(1, 3), (Lines{Can(0x20000100, {1}), Can(0x20000200, {2})}));
}

TEST_F(CanDispatchTest, NakAndReopenBeforeTheFirstFrameBringBackNoEmptyEntry) {
  OpenWithChannel();
  port->Feed(Line({1, frame::kNak}));
  port->Feed(kReopen1);
  Settle();
  ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(0x100, {1}));
  EXPECT_EQ(WrittenAfter(1, 4), (Lines{kOpen1, kAck1, Can(0x20000100, {1})}));
}

// After 50 acknowledged frames the send read index has wrapped to entry 0:
// a Nak resends entry 49 (and keeps the index), a Reopen steps back onto it.
TEST_F(CanDispatchTest, NakAndReopenAfterTheRingWrappedReachBackToEntry49) {
  OpenWithChannel();
  for (uint8_t i = 1; i <= 50; ++i) ASSERT_TRUE(Queue(i, {i}));
  ASSERT_TRUE(port->WaitForWrites(51));
  Settle();
  const size_t written = port->Written().size();
  const Bytes last = Can(0x20000032, {0x32});
  port->Feed(Line({1, frame::kNak}));
  port->Feed(Line({1, frame::kNak}));
  port->Feed(kReopen1);
  // The stepped-back frame goes again as soon as the reopening is acknowledged.
  ASSERT_EQ(WrittenAfter(written, written + 4), (Lines{last, last, kOpen1, last}));
  ASSERT_TRUE(Queue(0x777, {0x77}));
  EXPECT_EQ(WrittenAfter(written + 4, written + 5), Lines{Can(0x20000777, {0x77})});
}

TEST_F(CanDispatchTest, AckTimeOutsReopenTheChannelsOnlyWhenIsolated) {
  VirtualClock clock;
  ScopedClock installed(clock);
  struct StopFirst {  // the link's threads read the clock
    CanDispatch& link;
    ~StopFirst() { link.Shutdown(); }
  } stopFirst{link};
  clock.Advance(10000);
  acksCanFrames = false;
  onFrameWritten = [&](const Bytes& line) {
    if (line == Can(0x20000002, {2})) clock.Advance(300);  // its time-out follows the first by 300 ms
    if (line == Can(0x20000003, {3})) clock.Advance(600);  // and the next one 600 ms after that
  };
  OpenWithChannel();
  ASSERT_TRUE(Queue(1, {1}));
  ASSERT_TRUE(Queue(2, {2}));
  // The first time-out is isolated: frame 2 finds its channel closed.
  EXPECT_EQ(WrittenAfter(1, 3), (Lines{Can(0x20000001, {1}), kOpen1}));
  ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(3, {3}));
  // 300 ms after the last time-out the channel stays open, so frame 3 follows;
  // its own time-out, 600 ms later, closes it again.
  ASSERT_TRUE(WaitUntil([&] { return port->Written().size() == 5 && !link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(4, {4}));
  EXPECT_EQ(WrittenAfter(3, 6), (Lines{Can(0x20000002, {2}), Can(0x20000003, {3}), kOpen1}));
}

// Frames for a channel the gateway has not acknowledged wait, an OpenChannel
// going out instead, until one is queued after its Ack; a full ring refuses.
TEST_F(CanDispatchTest, FramesWaitForTheChannelsAckAndAFullRingRefusesInsteadOfLapping) {
  acksOpenChannel = false;
  OpenWithChannel();
  Lines frames;
  for (uint32_t i = 1; i <= CanDispatch::kRingEntries; ++i) frames.push_back(Can(0x20000000 | i, {}));
  for (uint32_t i = 1; i < CanDispatch::kRingEntries; ++i) ASSERT_TRUE(Queue(i, {}));
  EXPECT_FALSE(Queue(50, {}));  // after waiting kQueueFullWaitMs for room
  EXPECT_GE(port->Written().size(), 2u);
  EXPECT_EQ(port->Written(), Lines(port->Written().size(), kOpen1));
  port->Feed(kAck1);
  ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(50, {}));  // the full ring wakes the sender, which makes room
  ASSERT_TRUE(WaitUntil([&] { return port->Written().back() == frames.back(); }));
  const Lines written = port->Written();
  EXPECT_EQ(Lines(written.end() - 50, written.end()), frames);
}

TEST_F(CanDispatchTest, OnlyChannelsInUseTakeFramesAndAnEleventhIsRefused) {
  OpenWithChannel();
  for (uint8_t number : {0, 2, 11, 255}) {
    CanMessage message;
    message.identifier = 0x123;
    EXPECT_FALSE(link.QueueCanFrame(number, message, message.data)) << int{number};
    EXPECT_EQ(message.identifier, 0x123u);
  }
  for (uint8_t number = 2; number <= 10; ++number) EXPECT_EQ(link.CreateChannel(0, nullptr), number);
  EXPECT_EQ(link.CreateChannel(0, nullptr), 0);
  ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(10); }));
  ASSERT_TRUE(Queue(0x10, {0x10}, 10));
  EXPECT_EQ(WrittenAfter(10, 11), Lines{Can(0x20000010, {0x10}, 10)});
}

// A gateway plugged in after start-up is found like one that came back.
TEST_F(CanDispatchTest, PortThatCannotBeOpenedLeavesSendsReachingNobodyUntilItIsThere) {
  port->Unplug();
  link.Open("COM1", 1500000);
  EXPECT_EQ(link.CreateChannel(0, nullptr), 1);
  EXPECT_TRUE(Queue(0x100, {1}));
  link.RequestInfo();
  EXPECT_FALSE(port->WaitForWrites(1, 50));
  port->Plug();
  EXPECT_EQ(WrittenAfter(0, 2), (Lines{kOpen1, DataLine(1, frame::kInfoRequest, {})}));
}

// A lost Ack closes the channel and holds the next frame: its OpenChannel
// goes again while unanswered, the frame goes as soon as the reopening is
// acknowledged, and the frame whose Ack was lost is never written again.
TEST_F(CanDispatchTest, HeldFrameGoesOnTheReopeningsAckAndNothingIsWrittenTwice) {
  acksOpenChannel = false;
  acksCanFrames = false;
  OpenWithChannel();
  port->Feed(kAck1);
  ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(1, {1}));
  ASSERT_TRUE(WaitUntil([&] { return !link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(2, {2}));
  ASSERT_TRUE(port->WaitForWrites(4));
  port->Feed(kAck1);
  EXPECT_TRUE(port->WaitForWrites(5, CanDispatch::kReopenRetryMs / 2)) << "the Ack did not release the frame";
  EXPECT_FALSE(port->WaitForWrites(6, 600));
  EXPECT_EQ(port->Written(), (Lines{kOpen1, Can(0x20000001, {1}), kOpen1, kOpen1, Can(0x20000002, {2})}));
}

TEST(CanDispatch, ShutsDownWithoutHavingBeenOpenedAndTwice) {
  CanDispatch link(std::make_unique<FakeSerialPort>());
  link.Shutdown();
  link.Shutdown();
}

// ---- Receiving -------------------------------------------------------------

// Channel 1 (recording callback) and channel 2 (no callback) open.
class Reception : public CanDispatchTest {
 protected:
  void SetUp() override {
    OpenWithChannel();
    ASSERT_EQ(link.CreateChannel(7, nullptr), 2);
    ASSERT_TRUE(WaitUntil([&] { return link.Acknowledged(2); }));
    before = port->Written().size();
  }
  // What the host wrote in answer to bytes, the sentinel's Ack excluded.
  Lines Answer(const Bytes& bytes) {
    port->Feed(bytes);
    Settle();
    Lines written = WrittenAfter(before, before);
    written.pop_back();
    before += written.size() + 1;
    return written;
  }
  size_t before = 0;
};

struct Case {
  const char* name;
  Bytes line;
  Lines answer;
  std::vector<uint32_t> delivered;  // identifiers handed to channel 1
};

class ReceptionBranch : public Reception, public testing::WithParamInterface<Case> {};

TEST_P(ReceptionBranch, IsAnsweredAndHandedOnAsTheProtocolSays) {
  EXPECT_EQ(Answer(GetParam().line), GetParam().answer);
  EXPECT_EQ(Delivered(), GetParam().delivered);
  EXPECT_EQ(link.GetInfo(), (std::array<uint32_t, 5>{}));
}

Bytes With(Bytes line, size_t at, uint8_t flip) {
  line[at] ^= flip;
  return line;
}
Bytes Concat(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}
// Message 19 with padding makes a frame of exactly the wanted line length.
Bytes LineOfLength(size_t length) { return DataLine(1, frame::kMessage19, Bytes(length - 7, 0x11)); }
const Bytes kCan = Can(0x18EF1001, kData8);

INSTANTIATE_TEST_SUITE_P(
    Link, ReceptionBranch,
    testing::Values(
        Case{"Short", {0x7E, 0x01, 0x7F}, {}, {}},
        Case{"TwoBytePacket", {0x7E, 0x70, 0x05, 0x70, 0x05, 0x7F}, {}, {}},
        Case{"BadChecksum", With(DataLine(1, frame::kMessage20, {}), 5, 0x01), {kNak}, {}},
        Case{"ClosedChannel", DataLine(5, frame::kMessage20, {}), {}, {}},
        Case{"ChannelZero", DataLine(0, frame::kMessage20, {}), {}, {}},
        Case{"NakOnClosedChannel", Line({9, frame::kNak}), {}, {}},
        Case{"ReopenOfClosedChannel", Line({9, frame::kReopen}), {}, {}},
        Case{"NoCallback", Can(0x18EF10F1, kData8, 2), {}, {}},
        Case{"UnknownKind", Line({1, 4}), {}, {}},
        Case{"UnknownId", DataLine(1, 33, {1, 2}), {}, {}},
        Case{"IdWithoutRoom", Line({1, frame::kData, 32}), {}, {}},
        Case{"AckOnChannel2", Line({2, frame::kAck}), {}, {}},
        Case{"Message19", DataLine(1, frame::kMessage19, {0x42}), {kAck1}, {}},
        Case{"Message20", DataLine(1, frame::kMessage20, {}), {kAck1}, {}},
        Case{"ShortInfoReply", DataLine(1, frame::kInfoReply, Bytes(18, 0x11)), {kAck1}, {}},
        Case{"ShortCanFrame", DataLine(1, frame::kCanFrame, {0x18, 0xEF, 0x10, 0xF1, 1, 2}), {kAck1}, {}},
        Case{"StandardFrameTakesTheLowWord", Can(0x200007E8, kData8), {kAck1}, {0x7E8}},
        Case{"NoiseBeforeTheStart", Concat({0x01, 0x01, 0x00, 0x7F, 0x33}, kCan), {kAck1}, {0x18EF1001}},
        Case{"StartInsideAFrameStartsAgain", Concat(Bytes(kCan.begin(), kCan.begin() + 7), kCan), {kAck1}, {0x18EF1001}},
        Case{"FrameOf249Bytes", LineOfLength(249), {kAck1}, {}},
        Case{"FrameOf250BytesIsCutAndFailsItsChecksum", LineOfLength(250), {kNak}, {}},
        // After a Nak the gateway writes its latest frame again: when one followed
        // the spoiled frame, that copy repeats it and must not count twice.
        Case{"GatewaysCopyAfterANakIsNotHandedOnTwice",
             Concat(Concat(Concat(kCan, kCan), With(Can(0xC, kData8), 5, 0x01)),
                    Concat(Concat(Can(0xB, kData8), Can(0xB, kData8)), Can(0xB, kData8))),
             {kAck1, kAck1, kNak, kAck1, kAck1, kAck1},
             {0x18EF1001, 0x18EF1001, 0xB, 0xB}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST_F(Reception, FrameSplitOverReadsIsJoined) {
  port->Feed(Bytes(kCan.begin(), kCan.begin() + 3));
  EXPECT_EQ(Answer(Bytes(kCan.begin() + 3, kCan.end())), Lines{kAck1});
}

// Word 4 ends at packet offset 23, so a 24-byte packet lends it its checksum byte.
TEST_F(Reception, InfoReplyOfTwentyFourBytesIsTaken) {
  EXPECT_EQ(Answer(DataLine(1, frame::kInfoReply, Bytes(19, 0x11))), Lines{kAck1});
  EXPECT_EQ(link.GetInfo()[0], 0x11111111u);
}

TEST_F(Reception, CanFrameIsStoredThenAcknowledgedThenHandedOn) {
  bool ackBeforeCallback = false;
  CanMessage mine;  // read back inside the callback, as the main screen does
  mine.flags = 0x05;
  mine.time = 77;
  onDelivery = [&](const CanMessage&) {
    ackBeforeCallback = port->Written().back() == kAck1;
    link.GetLastFrame(1, mine);
  };
  EXPECT_EQ(Answer(Can(0x18EF10F1, {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), Lines{kAck1});
  EXPECT_TRUE(ackBeforeCallback);
  EXPECT_EQ(mine.identifier, 0x18EF10F1u);
  EXPECT_EQ(Bytes(mine.data, mine.data + mine.length), (Bytes{0x12, 0x34}));
  EXPECT_EQ(mine.flags, 0x05);  // flags and time stay the caller's
  EXPECT_EQ(mine.time, 77u);
  CanMessage other;
  other.identifier = 9;
  link.GetLastFrame(3, other);  // not valid: nothing copied
  EXPECT_EQ(other.identifier, 9u);
  link.GetLastFrame(2, other);  // valid, never received: zeros
  EXPECT_EQ(other.identifier, 0u);
}

TEST_F(Reception, FullReceiveRingDropsTheNewestFrames) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  onDelivery = [&](const CanMessage& message) {
    if (message.identifier == 1) released.wait();  // holds the receive thread in the first frame
  };
  std::vector<uint32_t> kept;
  for (uint32_t i = 1; i <= 60; ++i) port->Feed(Can(i, kData8));
  for (uint32_t i = 1; i < CanDispatch::kRingEntries; ++i) kept.push_back(i);
  ASSERT_TRUE(port->WaitUntilDrained(5000));
  release.set_value();  // every later frame was dropped while the ring was full
  EXPECT_TRUE(WaitUntil([&] { return Delivered().size() >= kept.size(); }));
  EXPECT_EQ(Delivered(), kept);
}

// An unplugged gateway: the port is opened again until it is back, then the
// channel is opened again and the info asked for; the owner hears of both.
TEST_F(CanDispatchTest, FailingReadClosesThePortUntilTheGatewayIsBack) {
  std::atomic<int> lost{0};
  std::atomic<int> back{0};
  link.SetPresenceCallback([&](bool present) { ++(present ? back : lost); });
  OpenWithChannel();
  port->Unplug();
  ASSERT_TRUE(WaitUntil([&] { return lost == 1; }));
  EXPECT_TRUE(Queue(0x100, {1}));  // reaches nobody, and not later either
  port->Plug();
  EXPECT_EQ(WrittenAfter(1, 3), (Lines{kOpen1, DataLine(1, frame::kInfoRequest, {})}));
  ASSERT_TRUE(WaitUntil([&] { return back == 1 && link.Acknowledged(1); }));
  port->Feed(DataLine(1, frame::kMessage20, {}));  // read again
  EXPECT_EQ(WrittenAfter(3, 4), Lines{kAck1});
  ASSERT_TRUE(Queue(0x200, {2}));
  EXPECT_EQ(WrittenAfter(4, 5), Lines{Can(0x20000200, {2})});
  EXPECT_EQ(lost + back, 2);
}

// ---- Over a real pseudo-terminal, as the main screen opens the link --------

std::atomic<int> framesHandedOn{0};

TEST(CanDispatchOverPty, TalksToTheGatewayAt1500000Baud) {
  TempDosDevices devices;
  PtyGateway gateway(devices.Root());
  CanDispatch link;
  link.Open("COM1", 1500000);
  ASSERT_EQ(link.CreateChannel(0, [](int) { ++framesHandedOn; }), 1);
  ASSERT_EQ(gateway.ReadFrame(2000), kOpen1);
  gateway.Send(kAck1);
  link.RequestInfo();
  ASSERT_EQ(gateway.ReadFrame(2000), DataLine(1, frame::kInfoRequest, {}));
  gateway.Send(DataLine(1, frame::kInfoReply, {0, 0, 0, 42, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}));
  EXPECT_EQ(gateway.ReadFrame(2000), kAck1);  // written before the words are taken
  EXPECT_TRUE(WaitUntil([&] { return link.GetInfo() == std::array<uint32_t, 5>{42, 1, 2, 3, 4}; }));

  CanMessage message;
  message.identifier = 0x18EF0110;
  message.length = 1;
  message.data[0] = 0xBF;
  ASSERT_TRUE(link.QueueCanFrame(1, message, message.data));
  EXPECT_EQ(gateway.ReadFrame(2000), Can(0x38EF0110, {0xBF}));
  gateway.Send(kAck1);
  gateway.Send(Can(0x18EF1001, {0xBF, 0x07, 0x70, 0x7E, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(gateway.ReadFrame(2000), kAck1);
  ASSERT_TRUE(WaitUntil([] { return framesHandedOn == 1; }));
  link.GetLastFrame(1, message);
  EXPECT_EQ(Bytes(message.data, message.data + message.length), (Bytes{0xBF, 0x07, 0x70, 0x7E}));
  link.Shutdown();  // wakes the reader asleep in poll
}

}  // namespace
