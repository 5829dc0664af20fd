#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "graphics/BmpDecoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);
// A 3 x 2 test picture: top row red, green, blue; bottom row white, black, grey.
const uint32_t kPicture[2][3] = {{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)},
                                 {kWhite, kBlack, RGB(128, 128, 128)}};

// Little-endian, as in the files.
void Put(Bytes& b, size_t at, uint32_t value, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b[at + i] = (value >> 8 * i) & 0xFF;
}

void PutColour(Bytes& b, size_t at, uint32_t colour) {
  Put(b, at, RedOf(colour) << 16 | GreenOf(colour) << 8 | BlueOf(colour), 3);
}

// The picture as a .bmp with a 40-byte info header (or the 12-byte core
// header, with 16-bit fields and 3-byte palette entries); palettes list the
// six colours in picture order, 1-bit ones only black and white.
Bytes Encode(int bits, bool topDown, bool core = false) {
  const size_t header = core ? 12 : 40, entry = core ? 3 : 4, field = core ? 2 : 4;
  const size_t palette = bits <= 8 ? (size_t{1} << bits) : 0;
  const size_t stride = (3 * bits + 31) / 32 * 4;
  const size_t offset = 14 + header + palette * entry;
  Bytes b(offset + stride * 2, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, static_cast<uint32_t>(b.size()));
  Put(b, 10, static_cast<uint32_t>(offset));
  Put(b, 14, static_cast<uint32_t>(header));
  Put(b, 18, 3, field);
  Put(b, 18 + field, topDown ? -2 : 2, field);
  Put(b, 18 + 2 * field, 1, 2);  // planes
  Put(b, 20 + 2 * field, bits, 2);
  if (bits == 1) PutColour(b, 14 + header + entry, kWhite);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const uint32_t c = kPicture[y][x];
      const uint32_t index = bits == 1 ? c == kWhite : y * 3 + x;
      if (bits > 1 && palette) PutColour(b, 14 + header + index * entry, c);
      const size_t row = offset + stride * (topDown ? y : 1 - y);
      if (bits == 1) b[row] |= index << (7 - x);
      if (bits == 4) b[row + x / 2] |= index << (x % 2 ? 0 : 4);
      if (bits == 8) b[row + x] = index;
      if (bits >= 24) PutColour(b, row + x * (bits / 8), c);
    }
  }
  return b;
}

struct DepthCase {
  int bits;
  bool topDown;
  bool core;
};

class BmpDepthTest : public testing::TestWithParam<DepthCase> {};

TEST_P(BmpDepthTest, DecodesEveryPixelInPlace) {
  const Bytes file = Encode(GetParam().bits, GetParam().topDown, GetParam().core);
  const std::optional<Surface> image = BmpDecoder::DecodeFile(file.data(), file.size());
  ASSERT_TRUE(image);
  ASSERT_EQ(image->Width(), 3);
  ASSERT_EQ(image->Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const uint32_t expected = GetParam().bits == 1 && kPicture[y][x] != kWhite ? kBlack : kPicture[y][x];
      EXPECT_EQ(image->Pixel(x, y), expected) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpDepthTest,
                         testing::Values(DepthCase{1, false, false}, DepthCase{4, false, false},
                                         DepthCase{8, false, false}, DepthCase{24, false, false},
                                         DepthCase{32, false, false}, DepthCase{8, true, false},
                                         DepthCase{24, true, false}, DepthCase{8, false, true},
                                         DepthCase{24, false, true}));

TEST(BmpDecoderTest, EveryTruncationFailsCleanly) {
  for (int bits : {1, 4, 8, 24, 32}) {
    const Bytes file = Encode(bits, false);
    for (size_t size = 0; size < file.size(); ++size) {
      const Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));  // exact size for ASan
      EXPECT_FALSE(BmpDecoder::DecodeFile(cut.data(), cut.size())) << bits << " bits, " << size << " bytes";
    }
  }
  EXPECT_FALSE(BmpDecoder::DecodeFile(nullptr, 0));
}

struct CorruptCase {
  const char* what;
  size_t at;
  uint32_t value;
  int bytes;
};

class BmpCorruptTest : public testing::TestWithParam<CorruptCase> {};

TEST_P(BmpCorruptTest, IsRefused) {
  Bytes file = Encode(8, false);
  Put(file, GetParam().at, GetParam().value, GetParam().bytes);
  EXPECT_FALSE(BmpDecoder::DecodeFile(file.data(), file.size())) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BmpCorruptTest,
    testing::Values(CorruptCase{"signature", 0, 0x4D42 + 1, 2}, CorruptCase{"16 bits", 28, 16, 2},
                    CorruptCase{"run-length", 30, 1, 4}, CorruptCase{"zero width", 18, 0, 4},
                    CorruptCase{"negative width", 18, 0xFFFFFFFF, 4}, CorruptCase{"zero height", 22, 0, 4},
                    CorruptCase{"huge width", 18, 0x7FFFFFFF, 4}, CorruptCase{"huge height", 22, 100000, 4},
                    CorruptCase{"pixels past the end", 10, 0xFFFFFFF0, 4}, CorruptCase{"short header", 14, 39, 4},
                    CorruptCase{"header past the end", 14, 5000, 4}));

TEST(BmpDecoderTest, UsedColourCountShortensThePalette) {
  Bytes file = Encode(8, false);
  Put(file, 46, 4);  // only four palette entries in use: indices 4 and 5 are strays
  const std::optional<Surface> image = BmpDecoder::DecodeFile(file.data(), file.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Pixel(0, 1), kWhite);
  EXPECT_EQ(image->Pixel(1, 1), kBlack);
  EXPECT_EQ(image->Pixel(2, 1), kBlack);  // shown black, read nowhere
}

TEST(BmpDecoderTest, IconKeepsItsMaskInTheTopByte) {
  // A 2 x 2 icon: a 32-bit red image with its 1-bit mask, one pixel transparent.
  Bytes file(6 + 16 + 40 + 16 + 8, 0);
  Put(file, 2, 1, 2);
  Put(file, 4, 1, 2);
  file[6] = file[7] = 2;
  Put(file, 18, 22);
  Put(file, 22, 40);
  Put(file, 26, 2);
  Put(file, 30, 4);
  Put(file, 34, 1, 2);
  Put(file, 36, 32, 2);
  for (int i = 0; i < 4; ++i) file[62 + i * 4 + 2] = 200;
  file[78] = 0x40;  // bottom row stored first: its second pixel is transparent
  const std::optional<Surface> icon = BmpDecoder::DecodeIcon(file.data(), file.size());
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Width(), 2);
  EXPECT_EQ(icon->Height(), 2);
  EXPECT_EQ(icon->Pixel(0, 0), 0xFF000000u | RGB(200, 0, 0));
  EXPECT_EQ(icon->Pixel(1, 1), RGB(200, 0, 0));
  for (size_t size = 0; size < 78; ++size) {
    const Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));
    EXPECT_FALSE(BmpDecoder::DecodeIcon(cut.data(), cut.size())) << size;
  }
}

}  // namespace
