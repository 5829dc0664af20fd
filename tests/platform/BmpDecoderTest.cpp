#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/BmpDecoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A 3 x 2 test picture: top row red, green, blue; bottom row white, black, grey.
const uint32_t kPicture[2][3] = {{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)},
                                 {RGB(255, 255, 255), RGB(0, 0, 0), RGB(128, 128, 128)}};

// Writes the picture as a .bmp of the given depth; palettes list the six
// colours in picture order (1-bit pictures keep only black and white).
Bytes Encode(int bits, bool topDown) {
  const int width = 3, height = 2;
  const size_t palette = bits <= 8 ? (size_t{1} << bits) : 0;
  const size_t stride = (width * bits + 31) / 32 * 4;
  const size_t offset = 14 + 40 + palette * 4;
  Bytes b(offset + stride * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, static_cast<uint32_t>(offset));
  Put32(b, 14, 40);
  Put32(b, 18, width);
  Put32(b, 22, static_cast<uint32_t>(topDown ? -height : height));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  auto colourIndex = [&](int x, int y) -> uint32_t {
    if (bits == 1) return kPicture[y][x] == RGB(255, 255, 255) ? 1 : 0;
    return static_cast<uint32_t>(y * 3 + x);
  };
  if (bits == 1) b[58] = b[59] = b[60] = 255;  // entry 0 black, entry 1 white
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = kPicture[y][x];
      if (palette && bits > 1) {
        const size_t entry = 54 + colourIndex(x, y) * 4;
        b[entry] = BlueOf(c);
        b[entry + 1] = GreenOf(c);
        b[entry + 2] = RedOf(c);
      }
      const size_t row = offset + stride * (topDown ? y : height - 1 - y);
      const uint32_t index = colourIndex(x, y);
      if (bits == 1) b[row] |= index << (7 - x);
      if (bits == 4) b[row + x / 2] |= index << (x % 2 ? 0 : 4);
      if (bits == 8) b[row + x] = index;
      if (bits >= 24) {
        const size_t p = row + x * (bits / 8);
        b[p] = BlueOf(c);
        b[p + 1] = GreenOf(c);
        b[p + 2] = RedOf(c);
      }
    }
  }
  return b;
}

struct DepthCase {
  int bits;
  bool topDown;
};

class BmpDepthTest : public testing::TestWithParam<DepthCase> {};

TEST_P(BmpDepthTest, DecodesEveryPixelInPlace) {
  const Bytes file = Encode(GetParam().bits, GetParam().topDown);
  const std::optional<Surface> image = BmpDecoder::DecodeFile(file.data(), file.size());
  ASSERT_TRUE(image);
  ASSERT_EQ(image->Width(), 3);
  ASSERT_EQ(image->Height(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      uint32_t expected = kPicture[y][x];
      if (GetParam().bits == 1 && expected != RGB(255, 255, 255)) expected = RGB(0, 0, 0);
      EXPECT_EQ(image->Pixel(x, y), expected) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpDepthTest,
                         testing::Values(DepthCase{1, false}, DepthCase{4, false}, DepthCase{8, false},
                                         DepthCase{24, false}, DepthCase{32, false}, DepthCase{8, true},
                                         DepthCase{24, true}));

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
  bool wide;
};

class BmpCorruptTest : public testing::TestWithParam<CorruptCase> {};

TEST_P(BmpCorruptTest, IsRefused) {
  Bytes file = Encode(8, false);
  if (GetParam().wide) {
    Put32(file, GetParam().at, GetParam().value);
  } else {
    Put16(file, GetParam().at, GetParam().value);
  }
  EXPECT_FALSE(BmpDecoder::DecodeFile(file.data(), file.size())) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BmpCorruptTest,
    testing::Values(CorruptCase{"signature", 0, 0x4D42 + 1, false}, CorruptCase{"16 bits", 28, 16, false},
                    CorruptCase{"run-length", 30, 1, true}, CorruptCase{"zero width", 18, 0, true},
                    CorruptCase{"negative width", 18, 0xFFFFFFFF, true}, CorruptCase{"zero height", 22, 0, true},
                    CorruptCase{"huge width", 18, 0x7FFFFFFF, true}, CorruptCase{"huge height", 22, 100000, true},
                    CorruptCase{"pixels past the end", 10, 0xFFFFFFF0, true},
                    CorruptCase{"short header", 14, 39, true}, CorruptCase{"header past the end", 14, 5000, true}));

TEST(BmpDecoderTest, UsedColourCountShortensThePalette) {
  Bytes file = Encode(8, false);
  Put32(file, 46, 4);  // only four palette entries in use: indices 4 and 5 are strays
  const std::optional<Surface> image = BmpDecoder::DecodeFile(file.data(), file.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Pixel(0, 1), RGB(255, 255, 255));
  EXPECT_EQ(image->Pixel(1, 1), RGB(0, 0, 0));
  EXPECT_EQ(image->Pixel(2, 1), RGB(0, 0, 0));  // shown black, read nowhere
}

// A 2 x 2 icon: a 32-bit colour image with its 1-bit mask, one pixel transparent.
Bytes EncodeIcon() {
  Bytes b(6 + 16 + 40 + 16 + 8, 0);
  Put16(b, 2, 1);
  Put16(b, 4, 1);
  b[6] = 2;
  b[7] = 2;
  Put32(b, 18, 22);
  Put32(b, 22, 40);
  Put32(b, 26, 2);
  Put32(b, 30, 4);
  Put16(b, 34, 1);
  Put16(b, 36, 32);
  for (int i = 0; i < 4; ++i) b[62 + i * 4 + 2] = 200;  // red everywhere
  b[78] = 0x40;  // bottom row stored first: its second pixel is transparent
  return b;
}

TEST(BmpDecoderTest, IconKeepsItsMaskInTheTopByte) {
  const Bytes file = EncodeIcon();
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
