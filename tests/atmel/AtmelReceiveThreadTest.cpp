#include <gtest/gtest.h>

#include "FakeAtmelNode.h"
#include "FakeScreen.h"
#include "TempDosDevices.h"
#include "ThreadedReplies.h"
#include "atmel/AtmelProgrammer.h"
#include "can/ProgramState.h"

namespace {

// The node's answers arrive on another thread while Program polls its flags,
// as they do from the link: the run must see every answer and nothing else.
TEST(AtmelReceiveThreadTest, RunSeesAnswersFromTheReceiveThread) {
  TempDosDevices drives;
  std::string text;
  for (int line = 0; line < 64; ++line) text += ":0100000055AA\r\n:0300300002337A1E\r\n";
  drives.WriteFile("e:/Pinecroft/P300_1.hex", text + ":00000001FF\r\n");
  FakeScreen screen;
  AtmelProgrammer programmer;
  VirtualClock nodeClock;  // only the node's time stamps; answers are immediate
  FakeAtmelNode node(screen, programmer, nodeClock);
  ThreadedReplies replies(screen);
  ScopedClock useClock(replies);
  BootloaderType = kNoBootloader;

  programmer.OnReply(CanMessage{.identifier = 0, .length = 2, .data = {0x00, 0x01}});
  EXPECT_TRUE(programmer.Program("P300_1.hex", true));
  EXPECT_EQ(BootloaderType, kAtmelBootloader);

  replies.Sleep(0);  // the last answers are in
  EXPECT_EQ(node.flash[0x00], 0x55);
  EXPECT_EQ(node.flash[0x30], 0x02);
  EXPECT_EQ(node.flash[0x32], 0x7A);
  EXPECT_EQ(node.frames.back().message.data[0], 0x03);  // the reset frame
  ASSERT_EQ(screen.Messages().size(), 1u);
  EXPECT_EQ(screen.Messages()[0].title, "Programming Complete");
}

}  // namespace
