#include "link/CanDispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "FakeSerialPort.h"
#include "GatewayLine.h"
#include "PollUntil.h"
#include "RowName.h"
#include "system/Clock.h"

namespace {

using Lines = std::vector<Bytes>;

const Bytes kAck1 = AckLine(1);
const Bytes kNak = Line({0, frame::kNak});
const Bytes kOpen1 = DataLine(1, frame::kOpenChannel, {1, 0});
const Bytes kData8 = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr uint32_t kSentinel = 0x1FFFFFFF;

// A CanDispatch on a fake port whose gateway acknowledges OpenChannel and
// CanFrame packets as configured; what channel 1 receives is recorded.
class CanDispatchTest : public testing::Test {
 protected:
  CanDispatchTest() {
    current = this;
    port->onWrite = [this](const Bytes& line) {
      const Bytes packet = Unstuffed(line);
      if (packet.size() < 7 || packet[1] != frame::kData) return;
      if (packet[2] == frame::kOpenChannel && acksOpenChannel) port->Feed(AckLine(packet[4]));
      if (packet[2] == frame::kCanFrame && acksCanFrames) port->Feed(AckLine(packet[0]));
    };
  }
  ~CanDispatchTest() override { link.Shutdown(); }

  void OpenWithChannel() {
    link.Open("COM1", 1500000);
    ASSERT_EQ(link.CreateChannel(0, OnFrame), 1);
    ASSERT_TRUE(!acksOpenChannel || PollUntil([&] { return link.Acknowledged(1); }));
  }
  bool Queue(uint32_t identifier, Bytes data) {
    CanMessage message{identifier, 0, static_cast<uint8_t>(data.size()), {}};
    std::copy(data.begin(), data.end(), message.data);
    return link.QueueCanFrame(1, message, message.data);
  }
  // Waits until the host wrote count frames and returns those from skip on
  // up to count: a frame held for a reopening may follow at once.
  Lines WrittenAfter(size_t skip, size_t count) {
    EXPECT_TRUE(port->WaitForWrites(count)) << port->Written().size() << " of " << count << " written";
    const Lines written = port->Written();
    const size_t end = std::min(written.size(), count);
    return end < skip ? Lines{} : Lines(written.begin() + static_cast<long>(skip), written.begin() + static_cast<long>(end));
  }
  // Feeds a sentinel CanFrame on channel 1 and waits until it was handed on:
  // everything fed before is handled, the sentinel's Ack is the last write.
  void Settle() {
    const int settled = settled_;
    port->Feed(CanLine(kSentinel, Bytes(8, 0xFF)));
    ASSERT_TRUE(PollUntil([&] { return settled_ > settled; }));
  }
  std::vector<uint32_t> Delivered() {
    std::lock_guard lock(mutex_);
    return delivered_;
  }

  FakeSerialPort* port = new FakeSerialPort;
  CanDispatch link{std::unique_ptr<SerialPort>(port)};
  bool acksOpenChannel = true;
  bool acksCanFrames = true;

 private:
  static void OnFrame(int value) {
    EXPECT_EQ(value, 1);
    CanMessage message;
    current->link.GetLastFrame(1, message);
    if (message.identifier == kSentinel) {
      ++current->settled_;
      return;
    }
    std::lock_guard lock(current->mutex_);
    current->delivered_.push_back(message.identifier);
  }
  static inline CanDispatchTest* current = nullptr;
  std::atomic<int> settled_{0};
  std::mutex mutex_;
  std::vector<uint32_t> delivered_;
};

// ---- Sending ---------------------------------------------------------------

// After 50 acknowledged frames the send read index has wrapped to entry 0. A
// Nak then asks for nothing: the last frame was acknowledged and is on the
// bus. A Reopen steps back onto entry 49, which goes again once the
// reopening is acknowledged; an OpenChannel whose Ack is lost goes again.
TEST_F(CanDispatchTest, NakNeverRepeatsAnAcknowledgedFrameAndAReopenReachesBackToEntry49) {
  OpenWithChannel();
  for (uint8_t i = 1; i <= 50; ++i) ASSERT_TRUE(Queue(i, {i}));
  ASSERT_TRUE(port->WaitForWrites(51));
  Settle();
  const size_t written = port->Written().size();
  acksOpenChannel = false;
  port->Feed(Line({1, frame::kNak}));
  port->Feed(Line({1, frame::kReopen}));
  EXPECT_FALSE(port->WaitForWrites(written + 2, ChannelTable::kReopenRetryMs / 2)) << "one OpenChannel at a time";
  EXPECT_EQ(WrittenAfter(written, written + 2), (Lines{kOpen1, kOpen1}));
  port->Feed(Line({1, frame::kNak}));  // the OpenChannel was spoiled on its way: it goes again, not the frame
  EXPECT_EQ(WrittenAfter(written + 2, written + 3), Lines{kOpen1});
  port->Feed(kAck1);
  EXPECT_EQ(WrittenAfter(written + 3, written + 4), Lines{CanLine(0x20000032, {0x32})});
  ASSERT_TRUE(Queue(0x777, {0x77}));
  EXPECT_EQ(WrittenAfter(written + 4, written + 5), Lines{CanLine(0x20000777, {0x77})});
  EXPECT_EQ(link.LineFaults(), 0u) << "the gateway's Naks and Reopen bring no answer twice";
}

// Frames for a channel the gateway has not acknowledged wait, an OpenChannel
// going out instead, until its Ack; a full ring refuses.
TEST_F(CanDispatchTest, FramesWaitForTheChannelsAckAndAFullRingRefusesInsteadOfLapping) {
  acksOpenChannel = false;
  OpenWithChannel();
  Lines frames;
  for (uint32_t i = 1; i <= SendRing::kEntries; ++i) frames.push_back(CanLine(0x20000000 | i, {}));
  for (uint32_t i = 1; i < SendRing::kEntries; ++i) ASSERT_TRUE(Queue(i, {}));
  const uint32_t waiting = TickCount();
  EXPECT_FALSE(Queue(50, {}));  // after waiting kQueueFullWaitMs for room
  EXPECT_GE(link.LastCanFrameWritten(), waiting) << "a node query would stop waiting for its queued requests";
  const Lines opens = port->Written();  // one look: another OpenChannel may go out meanwhile
  EXPECT_EQ(opens, Lines(opens.size(), kOpen1));
  port->Feed(kAck1);
  ASSERT_TRUE(PollUntil([&] { return link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(50, {}));  // the Ack released the waiting frames, which made room
  ASSERT_TRUE(PollUntil([&] { return port->Written().back() == frames.back(); }));
  const Lines written = port->Written();
  EXPECT_EQ(Lines(written.end() - 50, written.end()), frames);
}

// The gateway's Nak of a frame spoiled on its way, on whatever channel it
// comes, brings back the frame awaiting its Ack, not an InfoRequest written
// after it. When that Ack is lost, the channel closes and holds the next
// frame: its OpenChannel goes again while unanswered, the frame goes as soon
// as the reopening is acknowledged, and the frame whose Ack was lost is never
// written again.
TEST_F(CanDispatchTest, ANakBringsBackTheFrameAwaitingItsAckAndALostAckHoldsTheNext) {
  acksCanFrames = false;
  OpenWithChannel();
  acksOpenChannel = false;
  ASSERT_TRUE(Queue(1, {1}));
  ASSERT_TRUE(port->WaitForWrites(2));
  link.RequestInfo();
  port->Feed(kNak);
  ASSERT_TRUE(PollUntil([&] { return !link.Acknowledged(1); }));
  ASSERT_TRUE(Queue(2, {2}));
  ASSERT_TRUE(port->WaitForWrites(6));
  port->Feed(kAck1);
  EXPECT_TRUE(port->WaitForWrites(7, ChannelTable::kReopenRetryMs / 2)) << "the Ack did not release the frame";
  EXPECT_FALSE(port->WaitForWrites(8, 600));
  const Bytes first = CanLine(0x20000001, {1});
  EXPECT_EQ(port->Written(), (Lines{kOpen1, first, DataLine(1, frame::kInfoRequest, {}), first, kOpen1, kOpen1,
                                    CanLine(0x20000002, {2})}));
  EXPECT_EQ(link.LineFaults(), 0u) << "neither the gateway's Nak nor a lost Ack brings an answer twice";
}

// A gateway plugged in again is told back on the first Ack of its reopened
// channels; a lost Ack of that OpenChannel is asked for again, with nothing
// queued to hold, or the screen would never learn it is back.
TEST_F(CanDispatchTest, ReconnectionIsToldOnTheReopeningsAckWhichIsAskedForAgainWhenLost) {
  std::atomic<int> back{0};
  link.Presence().SetListener([&](const GatewayPresence::News& news) { back += news.present ? 1 : 0; });
  OpenWithChannel();
  acksOpenChannel = false;
  port->Unplug();
  port->Plug();
  const size_t written = port->Written().size();
  ASSERT_TRUE(port->WaitForWrites(written + 3, CanDispatch::kReconnectMs + 2 * ChannelTable::kReopenRetryMs));
  EXPECT_EQ(WrittenAfter(written, written + 3), (Lines{kOpen1, DataLine(1, frame::kInfoRequest, {}), kOpen1}));
  EXPECT_EQ(back, 0) << "the port opened, the gateway has not answered yet";
  port->Feed(kAck1);
  EXPECT_TRUE(PollUntil([&] { return back == 1; }));
}

// ---- Receiving -------------------------------------------------------------

struct Case {
  const char* name;
  Bytes line;
  Lines answer;
  std::vector<uint32_t> delivered;  // identifiers handed to channel 1
};

class ReceptionBranch : public CanDispatchTest, public testing::WithParamInterface<Case> {};

// What the host writes in answer, the sentinel's Ack excluded.
TEST_P(ReceptionBranch, IsAnsweredAndHandedOnAsTheProtocolSays) {
  OpenWithChannel();
  const auto before = static_cast<long>(port->Written().size());
  port->Feed(GetParam().line);
  Settle();
  const Lines written = port->Written();
  EXPECT_EQ(Lines(written.begin() + before, written.end() - 1), GetParam().answer);
  EXPECT_EQ(Delivered(), GetParam().delivered);
  EXPECT_EQ(link.GetInfo(), (std::array<uint32_t, 5>{}));
  EXPECT_EQ(link.LineFaults(), static_cast<uint32_t>(std::ranges::count(GetParam().answer, kNak)));
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
const Bytes kCan = CanLine(0x18EF1001, kData8);

INSTANTIATE_TEST_SUITE_P(
    Link, ReceptionBranch,
    testing::Values(
        Case{"Short", {0x7E, 0x01, 0x7F}, {}, {}},
        Case{"BadChecksum", With(DataLine(1, frame::kMessage20, {}), 5, 0x01), {kNak}, {}},
        Case{"ClosedChannel", DataLine(5, frame::kMessage20, {}), {}, {}},
        Case{"UnknownId", DataLine(1, 33, {1, 2}), {}, {}},
        Case{"IdWithoutRoom", Line({1, frame::kData, 32}), {}, {}},
        Case{"ShortInfoReply", DataLine(1, frame::kInfoReply, Bytes(18, 0x11)), {kAck1}, {}},
        Case{"ShortCanFrame", DataLine(1, frame::kCanFrame, {0x18, 0xEF, 0x10, 0xF1, 1, 2}), {kAck1}, {}},
        Case{"NoiseBeforeTheStart", Concat({0x01, 0x01, 0x00, 0x7F, 0x33}, kCan), {kAck1}, {0x18EF1001}},
        Case{"StartInsideAFrameStartsAgain", Concat(Bytes(kCan.begin(), kCan.begin() + 7), kCan), {kAck1}, {0x18EF1001}},
        Case{"FrameOf249Bytes", LineOfLength(249), {kAck1}, {}},
        Case{"FrameOf250BytesIsCutAndFailsItsChecksum", LineOfLength(250), {kNak}, {}},
        // After a Nak the gateway writes its latest frame again: when one followed
        // the spoiled frame, that copy repeats it and must not count twice.
        Case{"GatewaysCopyAfterANakIsNotHandedOnTwice",
             Concat(Concat(Concat(kCan, kCan), With(CanLine(0xC, kData8), 5, 0x01)),
                    Concat(Concat(CanLine(0xB, kData8), CanLine(0xB, kData8)), CanLine(0xB, kData8))),
             {kAck1, kAck1, kNak, kAck1, kAck1, kAck1},
             {0x18EF1001, 0x18EF1001, 0xB, 0xB}}),
    RowName());

}  // namespace
