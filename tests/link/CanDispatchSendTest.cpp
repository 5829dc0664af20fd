#include <gtest/gtest.h>

#include <cstdio>

#include "DispatchFixture.h"
#include "platform/Clock.h"

namespace {

using Written = std::vector<std::string>;

// Stops the link before a test's own clock goes out of scope.
struct StopLinkFirst {
  CanDispatch& link;
  ~StopLinkFirst() { link.Shutdown(); }
};

const Bytes kNakLine = {0x7E, 0x01, 0x02, 0x03, 0x7F};     // gateway Nak on channel 1
const Bytes kReopenLine = {0x7E, 0x01, 0x03, 0x02, 0x7F};  // gateway Reopen of channel 1

TEST_F(DispatchTest, OpensTheNamedPortAndItsChannel) {
  OpenWithChannel();
  EXPECT_EQ(port->OpenedName(), "COM1");
  EXPECT_EQ(port->OpenedBaud(), 1500000u);
  EXPECT_EQ(port->Written().front(), (Bytes{0x7E, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x7F}));
  link->RequestInfo();
  EXPECT_EQ(WrittenAfter(1, 2), Written{"info?"});
}

TEST_F(DispatchTest, FramesGoOutInQueueOrderWithTheStandardMarker) {
  OpenWithChannel();
  CanMessage standard;
  standard.identifier = 0x18EF0110;
  standard.length = 1;
  standard.data[0] = 0xBF;
  ASSERT_TRUE(link->QueueCanFrame(1, standard, standard.data));
  EXPECT_EQ(standard.identifier, 0x38EF0110u);  // the caller's record carries bit 29 from now on
  ASSERT_TRUE(link->QueueCanFrame(1, standard, standard.data));
  ASSERT_TRUE(Queue(0x18EFF110, true, {1, 2, 3}));
  ASSERT_TRUE(Queue(0x005, false, {}));
  EXPECT_EQ(WrittenAfter(1, 5), (Written{"frame 1 38EF0110 BF", "frame 1 38EF0110 BF", "frame 1 18EFF110 01 02 03",
                                         "frame 1 20000005"}));
}

TEST_F(DispatchTest, NextFrameWaitsForTheAckOfThePrevious) {
  acksCanFrames = false;
  OpenWithChannel();
  ASSERT_TRUE(Queue(0x100, false, {1}));
  ASSERT_TRUE(Queue(0x200, false, {2}));
  ASSERT_TRUE(port->WaitForWrites(2));
  port->Feed(ControlLine(1, frame::kAck));
  // Had the 200 ms wait run out instead, the channel would now be reopened.
  EXPECT_EQ(WrittenAfter(1, 3), (Written{"frame 1 20000100 01", "frame 1 20000200 02"}));
}

TEST_F(DispatchTest, UnacknowledgedChannelIsOpenedAgainAndItsFrameWaits) {
  acksOpenChannel = false;
  OpenWithChannel();
  ASSERT_TRUE(Queue(0x100, false, {1}));
  EXPECT_EQ(WrittenAfter(0, 2), (Written{"open 1", "open 1"}));
  port->Feed(ControlLine(1, frame::kAck));
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));
  ASSERT_TRUE(Queue(0x200, false, {2}));
  EXPECT_EQ(WrittenAfter(2, 4), (Written{"frame 1 20000100 01", "frame 1 20000200 02"}));
}

TEST_F(DispatchTest, NakAndReopenBeforeTheFirstFrameWriteNoRingEntry) {
  OpenWithChannel();
  port->Feed(kNakLine);
  port->Feed(kReopenLine);
  Settle();
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));
  ASSERT_TRUE(Queue(0x100, false, {1}));
  EXPECT_EQ(WrittenAfter(1, 4), (Written{"open 1", "ack 1", "frame 1 20000100 01"}));
}

class NakAndReopen : public DispatchTest {
 protected:
  // Sends count frames, each acknowledged; the send read index is then count % 50.
  void SendFrames(int count) {
    OpenWithChannel();
    for (int i = 1; i <= count; ++i) ASSERT_TRUE(Queue(static_cast<uint32_t>(i), false, {static_cast<uint8_t>(i)}));
    ASSERT_TRUE(port->WaitForWrites(static_cast<size_t>(count) + 1));
    Settle();
    written = port->Written().size();
  }
  size_t written = 0;
};

TEST_F(NakAndReopen, NakRewritesEntryZeroAfterTheFirstFrame) {
  SendFrames(1);
  port->Feed(kNakLine);
  EXPECT_EQ(WrittenAfter(written, written + 1), Written{"frame 1 20000001 01"});
}

TEST_F(NakAndReopen, NakAfterEntry49RewritesEntry49) {
  SendFrames(50);
  port->Feed(kNakLine);
  port->Feed(kNakLine);
  EXPECT_EQ(WrittenAfter(written, written + 2), (Written{"frame 1 20000032 32", "frame 1 20000032 32"}));
}

TEST_F(NakAndReopen, ReopenStepsBackFromEntryZeroTo49) {
  SendFrames(50);
  port->Feed(kReopenLine);
  ASSERT_EQ(WrittenAfter(written, written + 1), Written{"open 1"});
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));
  ASSERT_TRUE(Queue(0x777, false, {0x77}));
  EXPECT_EQ(WrittenAfter(written + 1, written + 3), (Written{"frame 1 20000032 32", "frame 1 20000777 77"}));
}

TEST_F(DispatchTest, AckTimeOutsReopenTheChannelsOnlyWhenIsolated) {
  VirtualClock clock;
  ScopedClock installed(clock);
  StopLinkFirst stopFirst{*link};  // the link's threads read the clock
  clock.Advance(10000);
  acksCanFrames = false;
  onFrameWritten = [&](const Bytes& line) {
    const std::string text = Describe(line);
    if (text == "frame 1 20000002 02") clock.Advance(300);  // its time-out follows the first by 300 ms
    if (text == "frame 1 20000003 03") clock.Advance(600);  // and the next one 600 ms after that
  };
  OpenWithChannel();
  ASSERT_TRUE(Queue(1, false, {1}));
  ASSERT_TRUE(Queue(2, false, {2}));
  // The first time-out is isolated: frame 2 finds its channel closed.
  EXPECT_EQ(WrittenAfter(1, 3), (Written{"frame 1 20000001 01", "open 1"}));
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));

  ASSERT_TRUE(Queue(3, false, {3}));
  // 300 ms after the last time-out the channel stays open, so frame 3 follows;
  // its own time-out, 600 ms later, closes it again.
  ASSERT_TRUE(WaitUntil([&] { return port->Written().size() == 5 && !link->Acknowledged(1); }));
  ASSERT_TRUE(Queue(4, false, {4}));
  EXPECT_EQ(WrittenAfter(3, 6), (Written{"frame 1 20000002 02", "frame 1 20000003 03", "open 1"}));
}

TEST_F(DispatchTest, FullSendRingRefusesInsteadOfLappingAndLosesNothing) {
  acksOpenChannel = false;
  OpenWithChannel();
  for (uint32_t i = 1; i < CanDispatch::kRingEntries; ++i) ASSERT_TRUE(Queue(i, false, {}));
  EXPECT_FALSE(Queue(50, false, {}));  // after waiting kQueueFullWaitMs for room

  port->Feed(ControlLine(1, frame::kAck));
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(1); }));
  ASSERT_TRUE(Queue(50, false, {}));  // the full ring wakes the sender, which makes room
  Written frames;
  ASSERT_TRUE(WaitUntil([&] {
    frames.clear();
    for (const std::string& text : Describe(port->Written()))
      if (text.rfind("frame", 0) == 0) frames.push_back(text);
    return frames.size() == 50;
  }));
  for (uint32_t i = 1; i <= 50; ++i) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "frame 1 %08X", 0x20000000u | i);
    EXPECT_EQ(frames[i - 1], expected);
  }
}

TEST_F(DispatchTest, TenChannelsAreUsableAndAnEleventhIsRefused) {
  OpenWithChannel();
  for (uint8_t number = 2; number <= 10; ++number) EXPECT_EQ(link->CreateChannel(0, nullptr), number);
  EXPECT_EQ(link->CreateChannel(0, nullptr), 0);
  ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(10); }));
  ASSERT_TRUE(Queue(0x10, false, {0x10}, 10));
  EXPECT_EQ(WrittenAfter(10, 11), Written{"frame 10 20000010 10"});
}

TEST_F(DispatchTest, InvalidChannelsQueueNothing) {
  OpenWithChannel();
  for (uint8_t number : {0, 2, 10, 11, 255}) {
    CanMessage message;
    message.identifier = 0x123;
    EXPECT_FALSE(link->QueueCanFrame(number, message, message.data)) << int{number};
    EXPECT_EQ(message.identifier, 0x123u);
  }
  Settle();
  EXPECT_EQ(Describe(port->Written()), (Written{"open 1", "ack 1"}));
}

TEST_F(DispatchTest, PortThatCannotBeOpenedLeavesSendsReachingNobody) {
  port->openSucceeds = false;
  link->Open("COM1", 1500000);
  EXPECT_EQ(link->CreateChannel(0, &DispatchTest::OnFrame), 1);
  EXPECT_TRUE(Queue(0x100, false, {1}));
  link->RequestInfo();
  port->Feed(ControlLine(1, frame::kAck));
  EXPECT_FALSE(port->WaitForWrites(1, 50));
  EXPECT_EQ(port->Reads(), 0u);  // no reader thread
  EXPECT_EQ(link->GetInfo(), (std::array<uint32_t, 5>{}));
}

TEST(CanDispatch, ShutsDownWithoutHavingBeenOpenedAndTwice) {
  CanDispatch link(std::make_unique<FakeSerialPort>());
  link.Shutdown();
  link.Shutdown();
}

}  // namespace
