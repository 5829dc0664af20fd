#include <gtest/gtest.h>

#include "St10Session.h"

namespace {

using Replies = std::vector<std::vector<uint8_t>>;

// Plays the console's Atmel engine against a bench node at 0x30.
class AtmelSession {
 public:
  explicit AtmelSession(const std::string& nodeText, const std::string& dumpDir = "")
      : host(NodeOptions(nodeText, dumpDir)) {
    host.OpenChannel();
    host.SendCan(0x18EF3010, {0xF1});
    host.AdvanceMs(Node::kBootMs);
    host.TakeCanFrames();
  }

  // A command on a standard identifier; the replies as (identifier, data).
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Send(uint32_t id, const std::vector<uint8_t>& data) {
    host.SendCan(HostLine::kMarker | id, data);
    return Take();
  }
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Take() {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> replies;
    for (const CanMessage& frame : host.TakeCanFrames()) replies.emplace_back(frame.identifier, DataOf(frame));
    return replies;
  }
  // Erase, blank check, range and data frames as the console sends them;
  // the data[0] of every data acknowledgement.
  std::vector<uint8_t> Program(const std::vector<uint8_t>& image) {
    Send(4, {0x00, 0xFF});
    Send(3, {0x01, 0x00, 0x00, 0x7F, 0xFF});
    const uint16_t last = static_cast<uint16_t>(image.size() - 1);
    Send(1, {0x00, 0x00, 0x00, static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last)});
    std::vector<uint8_t> acks;
    for (size_t at = 0; at < image.size(); at += 8) {
      const size_t count = std::min<size_t>(8, image.size() - at);
      for (const auto& reply : Send(2, {image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + count)})) {
        acks.push_back(reply.second.at(0));
      }
    }
    return acks;
  }

  HostLine host;
};

using Reply = std::pair<uint32_t, std::vector<uint8_t>>;
using ReplyList = std::vector<Reply>;

std::vector<uint8_t> Image(size_t size) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  return image;
}

TEST(AtmelBootloader, AnswersEachCommandOnItsOwnIdentifier) {
  AtmelSession session("address=0x30,program=144,boot=atmel");
  EXPECT_EQ(session.Send(0, {0xFF}), (ReplyList{{0, {0x00, 0x01}}}));
  EXPECT_EQ(session.Send(5, {0x00, 0x00}), (ReplyList{{5, {0x00, 0x00}}}));
  EXPECT_EQ(session.Send(4, {0x00, 0xFF}), (ReplyList{{4, {0x00}}}));
  EXPECT_EQ(session.Send(3, {0x01, 0x00, 0x00, 0x7F, 0xFF}), (ReplyList{{3, {}}}));  // blank
  EXPECT_EQ(session.Send(1, {0x00, 0x00, 0x00, 0x20, 0x02}), (ReplyList{{1, {0x00}}}));
  EXPECT_TRUE(session.Send(0x18EF3010, {0xBF}).empty());
}

TEST(AtmelBootloader, FillsTheAnnouncedRangeAndSaysWhenItIsComplete) {
  const std::string dumps = FreshDir("atmel-update");
  AtmelSession session("address=0x30,program=144,boot=atmel,after=161", dumps);
  const std::vector<uint8_t> image = Image(0x2003);  // 1024 full frames and one of 3 bytes
  const std::vector<uint8_t> acks = session.Program(image);
  ASSERT_EQ(acks.size(), 1025u);
  EXPECT_EQ(std::count(acks.begin(), acks.end(), 0x01), 1024);
  EXPECT_EQ(acks.back(), 0x00);
  EXPECT_TRUE(session.Send(4, {0x01, 0x00, 0x00}).empty());  // closing: not answered

  // The display windows give the flash back, 0xFF beyond the range.
  EXPECT_EQ(session.Send(3, {0x00, 0x00, 0x08, 0x00, 0x0F}),
            (ReplyList{{3, std::vector<uint8_t>(image.begin() + 8, image.begin() + 16)}}));
  EXPECT_EQ(session.Send(3, {0x00, 0x20, 0x00, 0x20, 0x07}),
            (ReplyList{{3, std::vector<uint8_t>(image.begin() + 0x2000, image.end())}}));

  EXPECT_TRUE(session.Send(4, {0x03, 0x00}).empty());
  const Node& node = *session.host.bench.FindNode(0x30);
  EXPECT_FALSE(node.InBootloader());
  EXPECT_EQ(node.Program(), 161);
  EXPECT_EQ(ReadFile(dumps + "/node-30.bin"), image);
}

TEST(AtmelBootloader, WholeFramesEndingTheRangeAnswerDoneWithTheLastOne) {
  AtmelSession session("address=0x30,program=144,boot=atmel");
  const std::vector<uint8_t> acks = session.Program(Image(64));
  EXPECT_EQ(acks, (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 0}));
}

TEST(AtmelBootloader, BlankCheckOfAWrittenFlashHasDataAndResetWithoutCompletionStaysInTheBootloader) {
  AtmelSession session("address=0x30,program=144,boot=atmel");
  session.Send(4, {0x00, 0xFF});
  session.Send(1, {0x00, 0x00, 0x00, 0x00, 0x0F});
  session.Send(2, {0xFF, 0xFF, 0x12, 0, 0, 0, 0, 0});
  EXPECT_EQ(session.Send(3, {0x01, 0x00, 0x00, 0x7F, 0xFF}), (ReplyList{{3, {0x00, 0x02}}}));
  session.Send(4, {0x03, 0x00});
  session.host.AdvanceMs(Node::kBootMs);
  EXPECT_EQ(session.Take(), (ReplyList{{0, {0x00, 0x01}}}));  // application gone: announces again
}

TEST(AtmelBootloader, BlankNonzeroFaultSpoilsOneBlankCheck) {
  AtmelSession session("address=0x30,program=144,boot=atmel,fault=blank-nonzero");
  session.Send(4, {0x00, 0xFF});
  EXPECT_FALSE(session.Send(3, {0x01, 0x00, 0x00, 0x7F, 0xFF}).at(0).second.empty());
  EXPECT_TRUE(session.Send(3, {0x01, 0x00, 0x00, 0x7F, 0xFF}).at(0).second.empty());
}

TEST(AtmelBootloader, StopAfterLeavesDataUnansweredUntilTheRetry) {
  AtmelSession session("address=0x30,program=144,boot=atmel,fault=stop-after=3");
  EXPECT_EQ(session.Program(Image(40)).size(), 3u);
  EXPECT_EQ(session.Program(Image(40)).size(), 5u);
}

TEST(AtmelBootloader, SlowEraseAndLateOpenDelayTheirAnswers) {
  AtmelSession session("address=0x30,program=144,boot=atmel,fault=slow-erase=5000,fault=late-start=300");
  EXPECT_TRUE(session.Send(0, {0xFF}).empty());
  session.host.AdvanceMs(300);
  EXPECT_EQ(session.Take().size(), 1u);
  EXPECT_TRUE(session.Send(4, {0x00, 0xFF}).empty());
  session.host.AdvanceMs(5000);
  EXPECT_EQ(session.Take(), (ReplyList{{4, {0x00}}}));
}

TEST(AtmelBootloader, PowerCutLeavesANodeThatAnnouncesItsBootloaderAtPowerOn) {
  AtmelSession session("address=0x30,program=144,boot=atmel,fault=power-cut=2");
  EXPECT_EQ(session.Program(Image(40)).size(), 2u);
  EXPECT_FALSE(session.host.bench.FindNode(0x30)->Powered());
  std::string error;
  ASSERT_TRUE(session.host.bench.Control("power-on 0x30", error));
  session.host.AdvanceMs(Node::kBootMs);
  EXPECT_EQ(session.Take(), (ReplyList{{0, {0x00, 0x01}}}));
}

TEST(AtmelBootloader, MalformedCommandsAreIgnored) {
  AtmelSession session("address=0x30,program=144,boot=atmel");
  EXPECT_TRUE(session.Send(3, {0x01, 0x00}).empty());
  EXPECT_TRUE(session.Send(1, {0x00}).empty());
  EXPECT_TRUE(session.Send(4, {0x07}).empty());
  EXPECT_TRUE(session.Send(6, {0x00}).empty());
  EXPECT_TRUE(session.Send(0, {0x00}).empty());
  EXPECT_EQ(session.Send(2, {1, 2}), (ReplyList{{2, {0x01}}}));  // no range yet: nothing written
  EXPECT_TRUE(session.host.bench.FindNode(0x30)->bootloader().Image().empty());
}

}  // namespace
