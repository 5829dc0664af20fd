#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "FakeScreen.h"
#include "UploaderRig.h"
#include "atmel/AtmelProgrammer.h"
#include "can/ProgramState.h"
#include "can/ReplyRouting.h"
#include "link/CanDispatch.h"
#include "system/Clock.h"
#include "st10/St10Programmer.h"

namespace {

// Each engine called directly, its frames through the real link and the
// pseudo-terminal to canbench's bootloader models; the screen is a fake.
class EnginesOverLinkTest : public ::testing::Test {
 protected:
  // The screen's side of the link: frames go out on the one channel.
  class LinkedScreen : public FakeScreen {
   public:
    explicit LinkedScreen(EnginesOverLinkTest& test) : test_(test) {}
    bool SendCanMessage(CanMessage& message, bool extended, uint8_t length) override {
      FakeScreen::SendCanMessage(message, extended, length);
      return test_.link_.QueueCanFrame(test_.channel_, message, message.data);
    }

   private:
    EnginesOverLinkTest& test_;
  };

  struct NoDiscovery : ReplyConsumer {
    void OnReply(CanMessage) override {}
  };

  static void OnFrame(int) {
    CanMessage message;
    current_->link_.GetLastFrame(current_->channel_, message);
    RouteReply(message, false, current_->discovery_, current_->st10_, current_->atmel_);
  }

  void Connect(const std::vector<std::string>& bench) {
    rig_.StartBench(bench);
    current_ = this;
    link_.Open("COM1", 1500000);
    channel_ = link_.CreateChannel(0, &OnFrame);
    ASSERT_NE(channel_, 0);
    // A frame queued before the gateway took the channel waits for the next
    // one; the program's start-up gives the gateway that time.
    for (int i = 0; i < 200 && !link_.Acknowledged(channel_); ++i) Sleep(10);
    ASSERT_TRUE(link_.Acknowledged(channel_));
  }

  // The bootloader command, as a run sends it, and the second it waits.
  int32_t EnterBootloader(uint32_t requestIdentifier) {
    BootloaderType = kNoBootloader;
    CanMessage command;
    command.identifier = requestIdentifier;
    command.data[0] = 0xF1;
    screen_.SendCanMessage(command, true, 1);
    Sleep(1000);
    return BootloaderType;
  }

  void TearDown() override {
    if (HasFailure())
      for (const std::string& line : screen_.Logs()) std::printf("screen: %s\n", line.c_str());
    link_.Shutdown();
    current_ = nullptr;
  }

  static inline EnginesOverLinkTest* current_ = nullptr;
  UploaderRig rig_;
  LinkedScreen screen_{*this};
  CanDispatch link_;
  std::atomic<uint8_t> channel_{0};
  NoDiscovery discovery_;
  St10Programmer st10_;
  AtmelProgrammer atmel_;
};

TEST_F(EnginesOverLinkTest, AtmelEngineProgramsTheBenchNode) {
  std::string image = rig_.MakeImageFile("P149alpha.hex", 3000, 11);
  Connect({"--node", "address=0x01,program=149,boot=atmel"});
  ASSERT_EQ(EnterBootloader(0x18EF0110), kAtmelBootloader);
  EXPECT_TRUE(atmel_.Program("P149alpha.hex", true));
  EXPECT_TRUE(rig_.FlashDump(0x01) == image);
  EXPECT_TRUE(screen_.Messages().size() == 1 && screen_.Messages()[0].title == "Programming Complete");
}

TEST_F(EnginesOverLinkTest, St10EngineProgramsTheBenchNode) {
  std::string image = rig_.MakeImageFile("P143beta.hex", 3000, 12);
  Connect({"--node", "address=0x20,program=143,boot=st10"});
  ASSERT_EQ(EnterBootloader(0x18EF2010), kSt10Bootloader);
  EXPECT_TRUE(st10_.Program("P143beta.hex"));
  EXPECT_TRUE(rig_.FlashDump(0x20) == image);
  EXPECT_TRUE(screen_.Questions().empty());
  ASSERT_FALSE(screen_.Messages().empty());
  EXPECT_EQ(screen_.Messages()[0].text, "Press OK to program another node.  When finished, press Exit and remove USB drive.");
}

TEST_F(EnginesOverLinkTest, St10EngineRecoversFromALineErrorOnRetry) {
  std::string image = rig_.MakeImageFile("P143beta.hex", 1000, 13);
  Connect({"--node", "address=0x20,program=143,boot=st10,fault=line-error=4"});
  ASSERT_EQ(EnterBootloader(0x18EF2010), kSt10Bootloader);
  screen_.answers = {true};
  EXPECT_TRUE(st10_.Program("P143beta.hex"));
  ASSERT_FALSE(screen_.Messages().empty());
  EXPECT_EQ(screen_.Messages()[0].text, "Checksum Error Line: 4");
  EXPECT_EQ(screen_.Questions().size(), 1u);
  EXPECT_TRUE(rig_.FlashDump(0x20) == image);
}

}  // namespace
