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

Bytes Built(size_t (*build)(uint8_t*)) {
  Bytes out(frame::kRingEntry);
  out.resize(build(out.data()));
  return out;
}

TEST(FrameCodec, ChecksumIsTheXorOfTheFirstCountBytes) {
  const Bytes bytes = {0x01, 0x00, 0x15, 0x00, 0x14};
  EXPECT_EQ(frame::Checksum(bytes.data(), 3), 0x14);
  EXPECT_EQ(frame::Checksum(bytes.data(), -3), 0);
  EXPECT_TRUE(frame::ChecksumValid(bytes.data(), 5));
  EXPECT_FALSE(frame::ChecksumValid(bytes.data(), 4));
  EXPECT_FALSE(frame::ChecksumValid(nullptr, 0));
}

// How a packet byte travels between its neighbours, and back.
TEST(FrameCodec, StuffsExactlyTheBytesFrom0x70To0x7F) {
  const std::vector<std::pair<uint8_t, Bytes>> table = {{0x6F, {0x6F}},       {0x70, {0x70, 0x00}}, {0x75, {0x70, 0x05}},
                                                         {0x7E, {0x70, 0x0E}}, {0x7F, {0x70, 0x0F}}, {0x80, {0x80}}};
  for (const auto& [byte, travels] : table) {
    Bytes line = {0x7E, 0x01};
    line.insert(line.end(), travels.begin(), travels.end());
    line.insert(line.end(), {0x02, 0x7F});
    EXPECT_EQ(EncodeBytes({0x01, byte, 0x02}), line) << int{byte};
    EXPECT_EQ(DecodeBytes(line), (Bytes{0x01, byte, 0x02})) << int{byte};
  }
  Bytes all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(DecodeBytes(EncodeBytes(all)), all);
}

// The last byte goes as the end marker without a test; a dangling escape is dropped.
TEST(FrameCodec, DecodingCopesWithCutAndOddFrames) {
  const std::vector<std::pair<Bytes, Bytes>> table = {{{0x7E, 0x01, 0x70, 0x7F}, {0x01}},
                                                       {{0x7E, 0x01, 0x02, 0x70}, {0x01}},
                                                       {{0x7E, 0x01, 0x02, 0x03}, {0x01, 0x02}},
                                                       {{0x7E}, {}},
                                                       {{}, {}}};
  for (const auto& [line, packet] : table) EXPECT_EQ(DecodeBytes(line), packet);
}

TEST(FrameCodec, BuildersWriteTheGatewaysBytes) {
  EXPECT_EQ(Built([](uint8_t* out) { return frame::BuildAck(1, out); }), (Bytes{0x7E, 0x01, 0x01, 0x00, 0x7F}));
  EXPECT_EQ(Built(frame::BuildNak), (Bytes{0x7E, 0x00, 0x02, 0x02, 0x7F}));
  EXPECT_EQ(Built(frame::BuildInfoRequest), (Bytes{0x7E, 0x01, 0x00, 0x15, 0x00, 0x14, 0x7F}));
  // OpenChannel always travels on channel 1.
  EXPECT_EQ(Built([](uint8_t* out) { return frame::BuildOpenChannel(7, out); }),
            (Bytes{0x7E, 0x01, 0x00, 0x03, 0x00, 0x07, 0x00, 0x05, 0x7F}));
  EXPECT_EQ(Built([](uint8_t* out) { return frame::BuildCanFrame(1, 0x38EF0110, Bytes{0xBF}.data(), 1, out); }),
            (Bytes{0x7E, 0x01, 0x00, 0x20, 0x00, 0x38, 0xEF, 0x01, 0x10, 0xBF, 0x58, 0x7F}));
}

TEST(FrameCodec, CanFrameLengthIsClampedAndStuffed) {
  const uint8_t data[9] = {0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5, 9};
  Bytes line(frame::kRingEntry);
  line.resize(frame::BuildCanFrame(2, 0x0000077E, data, 12, line.data()));
  const Bytes packet = DecodeBytes(line);
  EXPECT_EQ(Bytes(packet.begin(), packet.end() - 1),
            (Bytes{0x02, 0x00, 0x20, 0x00, 0x00, 0x00, 0x07, 0x7E, 0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(frame::ChecksumValid(packet.data(), packet.size()));
}

Bytes GatewayCanFrame(Bytes wordAndData) {
  Bytes packet = {0x01, 0x00, 0x20, 0x00};
  for (uint8_t byte : wordAndData) packet.push_back(byte);
  packet.push_back(frame::Checksum(packet.data(), static_cast<int>(packet.size())));
  return packet;
}

// Identifier word and data as received; trailing 0xFF bytes are padding.
TEST(FrameCodec, ReceivedCanFrameIsReadAsTheConsoleReadsIt) {
  struct Case {
    Bytes wordAndData;
    uint32_t identifier;
    uint8_t flags;
    uint8_t length;
  };
  const std::vector<Case> table = {
      {{0x18, 0xEF, 0x10, 0x01, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x18EF1001, 0x81, 2},
      {{0x18, 0xEF, 0x10, 0x01, 0x12, 0xFF, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x18EF1001, 0x81, 3},
      {{0x20, 0x00, 0x07, 0xE8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x07E8, 0x01, 0},
      {{0xFF, 0xAB, 0x00, 0x05, 1, 2, 3, 4, 5, 6, 7, 8}, 0x0005, 0x01, 8},
      {{0x1F, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 0xFF}, 0x1FFFFFFF, 0x81, 7}};
  for (const Case& c : table) {
    const Bytes packet = GatewayCanFrame(c.wordAndData);
    CanMessage message;
    message.flags = c.flags ^ CanMessage::kExtendedFlag;  // other flags are carried along
    ASSERT_TRUE(frame::ReadCanFrame(packet.data(), packet.size(), message));
    EXPECT_EQ(message.identifier, c.identifier);
    EXPECT_EQ(message.flags, c.flags);
    EXPECT_EQ(message.length, c.length);
    EXPECT_EQ(Bytes(message.data, message.data + 8), Bytes(c.wordAndData.begin() + 4, c.wordAndData.end()));
  }
}

TEST(FrameCodec, ShortCanFramePacketIsRejectedUntouched) {
  const Bytes packet = GatewayCanFrame({0x18, 0xEF, 0x10, 0x01, 1, 2, 3, 4, 5, 6, 7, 8});
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
