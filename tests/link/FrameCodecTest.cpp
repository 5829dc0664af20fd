#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <vector>

#include "GatewayLine.h"

namespace {

Bytes EncodeBytes(const Bytes& packet) {
  Bytes out(2 + 2 * packet.size());
  out.resize(frame::Encode(packet.data(), packet.size(), out.data()));
  return out;
}

// How a packet byte travels between its neighbours, and back.
TEST(FrameCodec, StuffsExactlyTheBytesFrom0x70To0x7F) {
  const std::vector<std::pair<uint8_t, Bytes>> table = {{0x6F, {0x6F}},       {0x70, {0x70, 0x00}}, {0x75, {0x70, 0x05}},
                                                         {0x7E, {0x70, 0x0E}}, {0x7F, {0x70, 0x0F}}, {0x80, {0x80}}};
  for (const auto& [byte, travels] : table) {
    Bytes line = {0x7E, 0x01};
    for (uint8_t b : travels) line.push_back(b);
    line.push_back(0x02);
    line.push_back(0x7F);
    EXPECT_EQ(EncodeBytes({0x01, byte, 0x02}), line) << int{byte};
    EXPECT_EQ(Unstuffed(line), (Bytes{0x01, byte, 0x02})) << int{byte};
  }
  Bytes all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Unstuffed(EncodeBytes(all)), all);
}

// The last byte goes as the end marker without a test; a dangling escape is dropped.
TEST(FrameCodec, DecodingCopesWithCutAndOddFrames) {
  const std::vector<std::pair<Bytes, Bytes>> table = {{{0x7E, 0x01, 0x70, 0x7F}, {0x01}},
                                                       {{0x7E, 0x01, 0x02, 0x70}, {0x01}},
                                                       {{0x7E, 0x01, 0x02, 0x03}, {0x01, 0x02}},
                                                       {{0x7E}, {}},
                                                       {{}, {}}};
  for (const auto& [line, packet] : table) EXPECT_EQ(Unstuffed(line), packet);
}

TEST(FrameCodec, CanFrameLengthIsClampedAndStuffed) {
  const uint8_t data[9] = {0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5, 9};
  Bytes line(frame::kRingEntry);
  line.resize(frame::BuildCanFrame(2, 0x0000077E, data, 12, line.data()));
  const Bytes packet = Unstuffed(line);
  EXPECT_EQ(Bytes(packet.begin(), packet.end() - 1),
            (Bytes{0x02, 0x00, 0x20, 0x00, 0x00, 0x00, 0x07, 0x7E, 0x7E, 0x7F, 0x70, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(frame::ChecksumValid(packet.data(), packet.size()));
}

}  // namespace
