#include <gtest/gtest.h>

#include "St10Session.h"

namespace {

using Bytes = HostLine::Bytes;
using Replies = std::vector<std::pair<uint32_t, Bytes>>;
const Bytes kBlankCheck = {0x01, 0x00, 0x00, 0x7F, 0xFF};

// Plays the console's Atmel engine against a bench node at 0x30.
class AtmelSession {
 public:
  explicit AtmelSession(const std::string& faults, const std::string& dumpDir = "")
      : host(NodeOptions("address=0x30,program=144,boot=atmel" + faults, dumpDir)) {
    host.OpenChannel();
    host.SendCan(0x18EF3010, {0xF1});
    host.AdvanceMs(Node::kBootMs);
    host.TakeCanFrames();
  }
  // A command on a standard identifier; the replies as (identifier, data).
  Replies Send(uint32_t id, const Bytes& data) {
    host.SendCan(HostLine::kMarker | id, data);
    return Take();
  }
  Replies Take() {
    Replies replies;
    for (const CanMessage& frame : host.TakeCanFrames()) replies.emplace_back(frame.identifier, DataOf(frame));
    return replies;
  }
  // Erase, blank check, range and data frames as the console sends them;
  // the data[0] of every data acknowledgement.
  Bytes Program(const Bytes& image) {
    Send(4, {0x00, 0xFF});
    Send(3, kBlankCheck);
    const size_t last = image.size() - 1;
    Send(1, {0x00, 0x00, 0x00, uint8_t(last >> 8), uint8_t(last)});
    Bytes acks;
    for (size_t at = 0; at < image.size(); at += 8) {
      const Bytes chunk(image.begin() + long(at), image.begin() + long(std::min(image.size(), at + 8)));
      for (const auto& reply : Send(2, chunk)) acks.push_back(reply.second.at(0));
    }
    return acks;
  }
  const Node& node() { return *host.bench.FindNode(0x30); }

  HostLine host;
};

Bytes Image(size_t size) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  return image;
}

TEST(AtmelBootloader, AnswersEachCommandOnItsOwnIdentifierAndIgnoresMalformedOnes) {
  AtmelSession session("");
  EXPECT_EQ(session.Send(0, {0xFF}), (Replies{{0, {0x00, 0x01}}}));
  EXPECT_EQ(session.Send(5, {0x00, 0x00}), (Replies{{5, {0x00, 0x00}}}));
  EXPECT_EQ(session.Send(2, {1, 2}), (Replies{{2, {0x01}}}));  // no range yet: nothing written
  EXPECT_TRUE(session.node().bootloader().Image().empty());
  EXPECT_EQ(session.Send(4, {0x00, 0xFF}), (Replies{{4, {0x00}}}));
  EXPECT_EQ(session.Send(3, kBlankCheck), (Replies{{3, {}}}));  // blank
  EXPECT_EQ(session.Send(1, {0x00, 0x00, 0x00, 0x20, 0x02}), (Replies{{1, {0x00}}}));
  for (const auto& [id, data] : Replies{{0x18EF3010, {0xBF}}, {3, {0x01, 0x00}}, {1, {0x00}}, {4, {0x07}},
                                         {6, {0x00}}, {0, {0x00}}}) {
    EXPECT_TRUE(session.Send(id, data).empty()) << id;
  }
}

TEST(AtmelBootloader, FillsTheAnnouncedRangeAndSaysWhenItIsComplete) {
  const std::string dumps = FreshDir("atmel-update");
  AtmelSession session(",after=161", dumps);
  const Bytes image = Image(0x2003);  // 1024 full frames and one of 3 bytes
  const Bytes acks = session.Program(image);
  Bytes expected(1025, 0x01);
  expected.back() = 0x00;
  EXPECT_EQ(acks, expected);
  EXPECT_TRUE(session.Send(4, {0x01, 0x00, 0x00}).empty());  // closing: not answered
  // The display windows give the flash back, 0xFF beyond the range.
  EXPECT_EQ(session.Send(3, {0x00, 0x00, 0x08, 0x00, 0x0F}), (Replies{{3, Bytes(image.begin() + 8, image.begin() + 16)}}));
  EXPECT_EQ(session.Send(3, {0x00, 0x20, 0x00, 0x20, 0x07}), (Replies{{3, Bytes(image.begin() + 0x2000, image.end())}}));
  EXPECT_TRUE(session.Send(4, {0x03, 0x00}).empty());
  EXPECT_FALSE(session.node().InBootloader());
  EXPECT_EQ(session.node().Program(), 161);
  EXPECT_EQ(ReadFile(dumps + "/node-30.bin"), image);
}

TEST(AtmelBootloader, WholeFramesEndingTheRangeAnswerDoneWithTheLastOne) {
  EXPECT_EQ(AtmelSession("").Program(Image(64)), (Bytes{1, 1, 1, 1, 1, 1, 1, 0}));
}

TEST(AtmelBootloader, BlankCheckOfAWrittenFlashHasDataAndResetWithoutCompletionStaysInTheBootloader) {
  AtmelSession session("");
  session.Send(4, {0x00, 0xFF});
  session.Send(1, {0x00, 0x00, 0x00, 0x00, 0x0F});
  session.Send(2, {0xFF, 0xFF, 0x12, 0, 0, 0, 0, 0});
  EXPECT_EQ(session.Send(3, kBlankCheck), (Replies{{3, {0x00, 0x02}}}));
  session.Send(4, {0x03, 0x00});
  session.host.AdvanceMs(Node::kBootMs);
  EXPECT_EQ(session.Take(), (Replies{{0, {0x00, 0x01}}}));  // application gone: announces again
}

TEST(AtmelBootloader, BlankNonzeroFaultSpoilsOneBlankCheck) {
  AtmelSession session(",fault=blank-nonzero");
  session.Send(4, {0x00, 0xFF});
  EXPECT_FALSE(session.Send(3, kBlankCheck).at(0).second.empty());
  EXPECT_TRUE(session.Send(3, kBlankCheck).at(0).second.empty());
}

TEST(AtmelBootloader, StopAfterLeavesDataUnansweredUntilTheRetry) {
  AtmelSession session(",fault=stop-after=3");
  EXPECT_EQ(session.Program(Image(40)).size(), 3u);
  EXPECT_EQ(session.Program(Image(40)).size(), 5u);
}

TEST(AtmelBootloader, SlowEraseAndLateOpenDelayTheirAnswers) {
  AtmelSession session(",fault=slow-erase=5000,fault=late-start=300");
  EXPECT_TRUE(session.Send(0, {0xFF}).empty());
  session.host.AdvanceMs(300);
  EXPECT_EQ(session.Take().size(), 1u);
  EXPECT_TRUE(session.Send(4, {0x00, 0xFF}).empty());
  session.host.AdvanceMs(5000);
  EXPECT_EQ(session.Take(), (Replies{{4, {0x00}}}));
}

TEST(AtmelBootloader, PowerCutLeavesANodeThatAnnouncesItsBootloaderAtPowerOn) {
  AtmelSession session(",fault=power-cut=2");
  EXPECT_EQ(session.Program(Image(40)).size(), 2u);
  EXPECT_FALSE(session.node().Powered());
  std::string error;
  ASSERT_TRUE(session.host.bench.Control("power-on 0x30", error));
  session.host.AdvanceMs(Node::kBootMs);
  EXPECT_EQ(session.Take(), (Replies{{0, {0x00, 0x01}}}));
}

}  // namespace
