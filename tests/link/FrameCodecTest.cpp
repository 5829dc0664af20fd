#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes EncodeBytes(const Bytes& packet) {
  Bytes out(2 + 2 * packet.size());
  out.resize(frame::Encode(packet.data(), packet.size(), out.data()));
  return out;
}

Bytes DecodeBytes(const Bytes& line) {
  Bytes out(line.size() + 1);
  out.resize(frame::Decode(line.data(), line.size(), out.data()));
  return out;
}

template <typename Builder>
Bytes Build(Builder builder) {
  Bytes out(frame::kRingEntry);
  out.resize(builder(out.data()));
  return out;
}

TEST(FrameCodec, ChecksumIsXorOfTheFirstCountBytes) {
  const uint8_t bytes[] = {0x01, 0x00, 0x15, 0x00, 0xFF};
  EXPECT_EQ(frame::Checksum(bytes, 4), 0x14);
  EXPECT_EQ(frame::Checksum(bytes, 5), 0x14 ^ 0xFF);
  EXPECT_EQ(frame::Checksum(bytes, 0), 0);
  EXPECT_EQ(frame::Checksum(bytes, -3), 0);
}

TEST(FrameCodec, PacketWithoutSpecialBytesIsFramedUnchanged) {
  EXPECT_EQ(EncodeBytes({0x01, 0x00, 0x15, 0x00, 0x14}), (Bytes{0x7E, 0x01, 0x00, 0x15, 0x00, 0x14, 0x7F}));
  EXPECT_EQ(EncodeBytes({}), (Bytes{0x7E, 0x7F}));
}

struct StuffCase {
  uint8_t byte;
  Bytes line;  // how the byte travels between the markers
};

class Stuffing : public testing::TestWithParam<StuffCase> {};

TEST_P(Stuffing, ByteTravelsAsExpectedAndComesBack) {
  const Bytes packet = {0x01, GetParam().byte, 0x02};
  Bytes expected = {0x7E, 0x01};
  expected.insert(expected.end(), GetParam().line.begin(), GetParam().line.end());
  expected.insert(expected.end(), {0x02, 0x7F});
  EXPECT_EQ(EncodeBytes(packet), expected);
  EXPECT_EQ(DecodeBytes(expected), packet);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Stuffing,
                         testing::Values(StuffCase{0x6F, {0x6F}}, StuffCase{0x70, {0x70, 0x00}},
                                         StuffCase{0x75, {0x70, 0x05}}, StuffCase{0x7E, {0x70, 0x0E}},
                                         StuffCase{0x7F, {0x70, 0x0F}}, StuffCase{0x80, {0x80}}));

TEST(FrameCodec, EveryPacketByteSurvivesARoundTrip) {
  Bytes packet(256);
  for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i);
  const Bytes line = EncodeBytes(packet);
  for (size_t i = 1; i + 1 < line.size(); ++i) {
    EXPECT_NE(line[i], 0x7E);
    EXPECT_NE(line[i], 0x7F);
  }
  EXPECT_EQ(DecodeBytes(line), packet);
}

TEST(FrameCodec, EscapeRightBeforeTheEndIsDropped) {
  EXPECT_EQ(DecodeBytes({0x7E, 0x01, 0x70, 0x7F}), (Bytes{0x01}));
  EXPECT_EQ(DecodeBytes({0x7E, 0x01, 0x02, 0x70}), (Bytes{0x01}));  // cut frame: last byte still removed
}

TEST(FrameCodec, EndMarkerIsRemovedWithoutTest) {
  EXPECT_EQ(DecodeBytes({0x7E, 0x01, 0x02, 0x03}), (Bytes{0x01, 0x02}));
  EXPECT_EQ(DecodeBytes({0x7E}), Bytes{});
  EXPECT_EQ(DecodeBytes({}), Bytes{});
}

TEST(FrameCodec, ChecksumValidity) {
  EXPECT_TRUE(frame::ChecksumValid(Bytes{0x01, 0x00, 0x15, 0x00, 0x14}.data(), 5));
  EXPECT_FALSE(frame::ChecksumValid(Bytes{0x01, 0x00, 0x15, 0x00, 0x15}.data(), 5));
  EXPECT_TRUE(frame::ChecksumValid(Bytes{0x00}.data(), 1));
  EXPECT_FALSE(frame::ChecksumValid(nullptr, 0));
}

TEST(FrameCodec, FixedControlFrames) {
  EXPECT_EQ(Build([](uint8_t* out) { return frame::BuildAck(1, out); }), (Bytes{0x7E, 0x01, 0x01, 0x00, 0x7F}));
  EXPECT_EQ(Build([](uint8_t* out) { return frame::BuildNak(out); }), (Bytes{0x7E, 0x00, 0x02, 0x02, 0x7F}));
  EXPECT_EQ(Build([](uint8_t* out) { return frame::BuildOpenChannel(1, out); }),
            (Bytes{0x7E, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x7F}));
  EXPECT_EQ(Build([](uint8_t* out) { return frame::BuildInfoRequest(out); }),
            (Bytes{0x7E, 0x01, 0x00, 0x15, 0x00, 0x14, 0x7F}));
}

TEST(FrameCodec, OpenChannelAlwaysTravelsOnChannelOne) {
  const Bytes line = Build([](uint8_t* out) { return frame::BuildOpenChannel(7, out); });
  EXPECT_EQ(DecodeBytes(line), (Bytes{0x01, 0x00, 0x03, 0x00, 0x07, 0x00, 0x01 ^ 0x03 ^ 0x07}));
}

TEST(FrameCodec, CanFrameOfTheSlotOneQuery) {
  const uint8_t data[] = {0xBF};
  const Bytes line = Build([&](uint8_t* out) { return frame::BuildCanFrame(1, 0x38EF0110, data, 1, out); });
  EXPECT_EQ(line, (Bytes{0x7E, 0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 0xBF, 0x58, 0x7F}));
}

TEST(FrameCodec, CanFrameLengthIsClampedAndStuffed) {
  const uint8_t data[9] = {0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5, 9};
  const Bytes line = Build([&](uint8_t* out) { return frame::BuildCanFrame(2, 0x0000077E, data, 12, out); });
  const Bytes packet = DecodeBytes(line);
  ASSERT_EQ(packet.size(), 17u);
  EXPECT_EQ((Bytes{packet.begin() + 4, packet.begin() + 16}),
            (Bytes{0x00, 0x00, 0x07, 0x7E, 0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(frame::ChecksumValid(packet.data(), packet.size()));
}

Bytes GatewayCanFrame(Bytes word, Bytes data) {
  Bytes packet = {0x01, 0x00, 0x20, 0x00};
  packet.insert(packet.end(), word.begin(), word.end());
  packet.insert(packet.end(), data.begin(), data.end());
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  return packet;
}

struct ReceivedCase {
  Bytes word;
  Bytes data;
  uint32_t identifier;
  bool extended;
  uint8_t length;
};

class ReceivedCanFrame : public testing::TestWithParam<ReceivedCase> {};

TEST_P(ReceivedCanFrame, IsRead) {
  const ReceivedCase& c = GetParam();
  const Bytes packet = GatewayCanFrame(c.word, c.data);
  CanMessage message;
  message.flags = c.extended ? 0x01 : 0x81;  // other bits carried along
  ASSERT_TRUE(frame::ReadCanFrame(packet.data(), packet.size(), message));
  EXPECT_EQ(message.identifier, c.identifier);
  EXPECT_EQ((message.flags & CanMessage::kExtendedFlag) != 0, c.extended);
  EXPECT_EQ(message.flags & 0x01, 0x01);
  EXPECT_EQ(message.length, c.length);
  EXPECT_EQ(Bytes(message.data, message.data + 8), c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Gateway, ReceivedCanFrame,
    testing::Values(
        ReceivedCase{{0x18, 0xEF, 0x10, 0x01}, {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x18EF1001, true, 2},
        ReceivedCase{{0x18, 0xEF, 0x10, 0x01}, {0x12, 0xFF, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x18EF1001, true, 3},
        ReceivedCase{{0x20, 0x00, 0x07, 0xE8}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x07E8, false, 0},
        ReceivedCase{{0xFF, 0xAB, 0x00, 0x05}, {1, 2, 3, 4, 5, 6, 7, 8}, 0x0005, false, 8},
        ReceivedCase{{0x1F, 0xFF, 0xFF, 0xFF}, {1, 2, 3, 4, 5, 6, 7, 0xFF}, 0x1FFFFFFF, true, 7}));

TEST(FrameCodec, ShortCanFramePacketIsRejectedUntouched) {
  const Bytes packet = GatewayCanFrame({0x18, 0xEF, 0x10, 0x01}, {1, 2, 3, 4, 5, 6, 7, 8});
  for (size_t length = 0; length < packet.size(); ++length) {
    Bytes copy(packet.begin(), packet.begin() + static_cast<long>(length));  // exact-size heap block for ASan
    CanMessage message;
    message.identifier = 42;
    EXPECT_FALSE(frame::ReadCanFrame(copy.data(), copy.size(), message));
    EXPECT_EQ(message.identifier, 42u);
  }
}

TEST(FrameCodec, GarbageDecodesWithinBounds) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> special(0x6E, 0x80);
  for (int round = 0; round < 2000; ++round) {
    const size_t length = static_cast<size_t>(round % 251);
    Bytes line(length);
    for (uint8_t& b : line) b = static_cast<uint8_t>(round % 2 ? byte(random) : special(random));
    Bytes out(length);  // exactly as long as the frame: ASan catches any overrun
    const size_t produced = frame::Decode(line.data(), line.size(), out.data());
    EXPECT_LE(produced + (length > 0 ? 1 : 0), length);
    CanMessage message;
    frame::ReadCanFrame(out.data(), produced, message);
    EXPECT_LE(message.length, 8);
  }
}

}  // namespace
