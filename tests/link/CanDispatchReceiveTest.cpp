#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <condition_variable>

#include "DispatchFixture.h"

namespace {

using Written = std::vector<std::string>;

const Bytes kData8 = {1, 2, 3, 4, 5, 6, 7, 8};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The link with channel 1 (recording callback) and channel 2 (no callback).
class Reception : public DispatchTest {
 protected:
  void SetUp() override {
    OpenWithChannel();
    ASSERT_EQ(link->CreateChannel(7, nullptr), 2);
    ASSERT_TRUE(WaitUntil([&] { return link->Acknowledged(2); }));
    before = port->Written().size();
  }
  // What the host wrote in answer to bytes, message 20's closing Ack excluded.
  Written Answer(const Bytes& bytes) {
    port->Feed(bytes);
    Settle();
    Written written = Describe(port->Written());
    written.erase(written.begin(), written.begin() + static_cast<long>(before));
    written.pop_back();
    before += written.size() + 1;
    return written;
  }
  size_t before = 0;
};

struct Case {
  const char* name;
  Bytes line;
  Written answer;
};

class ReceptionBranch : public Reception, public testing::WithParamInterface<Case> {};

TEST_P(ReceptionBranch, IsAnsweredAsTheProtocolSays) {
  EXPECT_EQ(Answer(GetParam().line), GetParam().answer);
  EXPECT_TRUE(Delivered().empty());
}

Bytes BadChecksum() {
  Bytes line = DataLine(1, frame::kMessage20, {});
  line[line.size() - 2] ^= 0x01;
  return line;
}

INSTANTIATE_TEST_SUITE_P(
    Link, ReceptionBranch,
    testing::Values(Case{"Short", {0x7E, 0x01, 0x7F}, {}},
                    Case{"TwoBytePacket", {0x7E, 0x70, 0x05, 0x70, 0x05, 0x7F}, {}},
                    Case{"BadChecksum", BadChecksum(), {"nak"}},
                    Case{"ClosedChannel", DataLine(5, frame::kMessage20, {}), {}},
                    Case{"ChannelZero", DataLine(0, frame::kMessage20, {}), {}},
                    Case{"NoCallback", CanFrameLine(2, 0x18EF10F1, kData8), {}},
                    Case{"NoCallbackMessage20", DataLine(2, frame::kMessage20, {}), {}},
                    Case{"UnknownKind", ControlLine(1, 4), {}},
                    Case{"UnknownId", DataLine(1, 33, {1, 2}), {}},
                    Case{"IdWithoutRoom", GatewayLine({1, frame::kData, 32}), {}},
                    Case{"Message19", DataLine(1, frame::kMessage19, {0x42}), {"ack 1"}},
                    Case{"Message20", DataLine(1, frame::kMessage20, {}), {"ack 1"}},
                    Case{"ShortInfoReply", DataLine(1, frame::kInfoReply, Bytes(18, 0x11)), {"ack 1"}},
                    Case{"ShortCanFrame", DataLine(1, frame::kCanFrame, {0x18, 0xEF, 0x10, 0xF1, 1, 2}), {"ack 1"}},
                    Case{"AckOnChannel2", ControlLine(2, frame::kAck), {}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Word 4 ends at packet offset 23, so a 24-byte packet lends it its checksum byte.
TEST_F(Reception, InfoWordsAreZeroUntilAFullInfoReply) {
  EXPECT_EQ(link->GetInfo(), (std::array<uint32_t, 5>{}));
  EXPECT_EQ(Answer(DataLine(1, frame::kInfoReply, Bytes(18, 0x11))), Written{"ack 1"});
  EXPECT_EQ(link->GetInfo(), (std::array<uint32_t, 5>{}));
  EXPECT_EQ(Answer(DataLine(1, frame::kInfoReply, Bytes(19, 0x11))), Written{"ack 1"});
  EXPECT_EQ(link->GetInfo()[0], 0x11111111u);
  Bytes words;
  for (uint8_t i = 0; i < 20; ++i) words.push_back(i);
  EXPECT_EQ(Answer(DataLine(1, frame::kInfoReply, words)), Written{"ack 1"});
  EXPECT_EQ(link->GetInfo(), (std::array<uint32_t, 5>{0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F, 0x10111213}));
}

TEST_F(Reception, CanFrameIsStoredThenAcknowledgedThenHandedOn) {
  std::atomic<bool> ackBeforeCallback{false};
  CanMessage mine;  // read back inside the callback, as the main screen does
  mine.flags = 0x05;
  mine.time = 77;
  onDelivery = [&](const CanMessage&) {
    ackBeforeCallback = Describe(port->Written().back()) == "ack 1";
    link->GetLastFrame(1, mine);
  };
  EXPECT_EQ(Answer(CanFrameLine(1, 0x18EF10F1, {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), Written{"ack 1"});
  EXPECT_TRUE(ackBeforeCallback);
  EXPECT_EQ(mine.identifier, 0x18EF10F1u);
  EXPECT_EQ(mine.length, 2);
  EXPECT_EQ(mine.data[1], 0x34);
  EXPECT_EQ(mine.data[2], 0xFF);
  EXPECT_EQ(mine.flags, 0x05);  // flags and time stay the caller's
  EXPECT_EQ(mine.time, 77u);
  EXPECT_EQ(Delivered().size(), 1u);

  CanMessage untouched;
  untouched.identifier = 9;
  link->GetLastFrame(2, untouched);  // valid channel, never received: zeros
  EXPECT_EQ(untouched.identifier, 0u);
  untouched.identifier = 9;
  link->GetLastFrame(3, untouched);  // not valid: nothing copied
  EXPECT_EQ(untouched.identifier, 9u);
}

TEST_F(Reception, StandardFrameTakesItsIdentifierFromTheLowWord) {
  EXPECT_EQ(Answer(CanFrameLine(1, 0x200007E8, kData8)), Written{"ack 1"});
  ASSERT_EQ(Delivered().size(), 1u);
  EXPECT_EQ(Delivered()[0].identifier, 0x07E8u);
  EXPECT_EQ(Delivered()[0].length, 8);
}

TEST_F(Reception, BytesBeforeTheFirstStartAreIgnored) {
  const Bytes noise = {0x01, 0x01, 0x00, 0x7F, 0x33};
  EXPECT_EQ(Answer(Concat({noise, CanFrameLine(1, 0x18EF1001, kData8)})), Written{"ack 1"});
  EXPECT_EQ(Delivered().size(), 1u);
}

TEST_F(Reception, StartMarkerInsideAFrameStartsItAgain) {
  const Bytes line = CanFrameLine(1, 0x18EF1001, kData8);
  const Bytes broken(line.begin(), line.begin() + 7);
  EXPECT_EQ(Answer(Concat({broken, line})), Written{"ack 1"});
  EXPECT_EQ(Delivered().size(), 1u);
}

TEST_F(Reception, FrameSplitOverReadsIsJoined) {
  const Bytes line = CanFrameLine(1, 0x18EF1001, kData8);
  port->Feed(Bytes(line.begin(), line.begin() + 3));
  EXPECT_EQ(Answer(Bytes(line.begin() + 3, line.end())), Written{"ack 1"});
}

// Message 19 with padding makes a frame of exactly the wanted line length.
Bytes LineOfLength(size_t length) { return DataLine(1, frame::kMessage19, Bytes(length - 7, 0x11)); }

TEST_F(Reception, FrameOf249BytesIsWholeAndALongerOneIsCut) {
  ASSERT_EQ(LineOfLength(249).size(), 249u);
  EXPECT_EQ(Answer(LineOfLength(249)), Written{"ack 1"});
  // Cut at 249 bytes the end is missing, the checksum fails; the rest is noise.
  EXPECT_EQ(Answer(LineOfLength(250)), Written{"nak"});
  EXPECT_EQ(Answer(LineOfLength(600)), Written{"nak"});
}

TEST_F(Reception, GatewayNakOrReopenOnAnotherChannelIsDroppedWhenClosed) {
  EXPECT_EQ(Answer(ControlLine(9, frame::kReopen)), Written{});
  EXPECT_EQ(Answer(ControlLine(9, frame::kNak)), Written{});
}

TEST_F(Reception, FullReceiveRingDropsTheNewestFrames) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  onDelivery = [&](const CanMessage& message) {
    if (message.identifier != 1) return;
    std::unique_lock lock(mutex);
    released.wait(lock, [&] { return release; });  // holds the receive thread in the first frame
  };
  for (uint32_t i = 1; i <= 60; ++i) port->Feed(CanFrameLine(1, i, kData8));
  ASSERT_TRUE(port->WaitUntilDrained(5000));
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  Settle();
  const std::vector<CanMessage> delivered = Delivered();
  ASSERT_EQ(delivered.size(), CanDispatch::kRingEntries - 1);
  for (uint32_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i].identifier, i + 1);
}

TEST_F(Reception, FailingReadEndsTheReaderAndSendingGoesOn) {
  port->FailReads();
  ASSERT_TRUE(WaitUntil([&] {
    const size_t reads = port->Reads();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return port->Reads() == reads;
  }));
  port->Feed(DataLine(1, frame::kMessage20, {}));
  ASSERT_TRUE(Queue(0x100, false, {1}));
  EXPECT_EQ(WrittenAfter(before, before + 1), Written{"frame 1 20000100 01"});
  EXPECT_FALSE(port->WaitForWrites(before + 2, 50));  // message 20 is never read, so never acknowledged
}

}  // namespace
