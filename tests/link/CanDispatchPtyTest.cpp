#include <gtest/gtest.h>

#include <atomic>

#include "DispatchFixture.h"
#include "link/CanDispatch.h"
#include "tests/support/PtyGateway.h"
#include "tests/support/TempDosDevices.h"

namespace {

std::atomic<int> framesHandedOn{0};
void CountFrame(int) { ++framesHandedOn; }

// The link as the main screen opens it, with the test playing the gateway on
// the master side of a pseudo-terminal linked as COM1.
TEST(CanDispatchOverPty, TalksToTheGatewayAt1500000Baud) {
  TempDosDevices devices;
  PtyGateway gateway(devices.Root());
  CanDispatch link;
  link.Open("COM1", 1500000);
  ASSERT_EQ(link.CreateChannel(0, CountFrame), 1);
  ASSERT_EQ(Describe(gateway.ReadFrame(2000)), "open 1");
  gateway.Send(ControlLine(1, frame::kAck));

  link.RequestInfo();
  ASSERT_EQ(Describe(gateway.ReadFrame(2000)), "info?");
  gateway.Send(DataLine(1, frame::kInfoReply, {0, 0, 0, 42, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}));
  EXPECT_EQ(Describe(gateway.ReadFrame(2000)), "ack 1");  // written before the words are taken
  EXPECT_TRUE(WaitUntil([&] { return link.GetInfo() == std::array<uint32_t, 5>{42, 1, 2, 3, 4}; }));

  CanMessage query;
  query.identifier = 0x18EF0110;
  query.length = 1;
  query.data[0] = 0xBF;
  ASSERT_TRUE(link.QueueCanFrame(1, query, query.data));
  EXPECT_EQ(gateway.ReadFrame(2000), (Bytes{0x7E, 0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 0xBF, 0x58, 0x7F}));
  gateway.Send(ControlLine(1, frame::kAck));

  gateway.Send(CanFrameLine(1, 0x18EF1001, {0xBF, 0x07, 0x70, 0x7E, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Describe(gateway.ReadFrame(2000)), "ack 1");
  ASSERT_TRUE(WaitUntil([] { return framesHandedOn == 1; }));
  CanMessage reply;
  link.GetLastFrame(1, reply);
  EXPECT_EQ(reply.identifier, 0x18EF1001u);
  EXPECT_EQ(reply.length, 4);
  EXPECT_EQ(reply.data[3], 0x7E);

  gateway.Close();  // unplugged: the reader ends, the link still shuts down cleanly
  link.Shutdown();
}

}  // namespace
