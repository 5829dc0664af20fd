#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "graphics/Font.h"

namespace {

class FontHeightTest : public testing::TestWithParam<int> {};

// Every glyph, descenders and capitals included, stays inside its cell.
TEST_P(FontHeightTest, CellHeightIsTheRequestedHeightAndHoldsTheGlyphs) {
  Font font("Arial", GetParam());
  ASSERT_TRUE(font.IsValid());
  EXPECT_EQ(font.Height(), GetParam());
  EXPECT_GT(font.Ascent(), font.Height() / 2);
  EXPECT_LT(font.Ascent(), font.Height());
  for (unsigned char c : std::string("HMWgjpqy|()[]")) {
    const Glyph& glyph = font.GlyphOf(c);
    EXPECT_LE(glyph.top, font.Ascent()) << c;
    EXPECT_LE(glyph.height - glyph.top, font.Height() - font.Ascent()) << c;
  }
}

INSTANTIATE_TEST_SUITE_P(Heights, FontHeightTest, testing::Values(15, 16, 22, 40));

TEST(FontTest, NegativeHeightIsTheEmAndZeroTheDefault) {
  EXPECT_EQ(Font("Arial", -16).Height(), 18);  // Liberation Sans: a cell of 2288 units on an em of 2048
  EXPECT_EQ(Font("Arial", 0).Height(), 16);
}

TEST(FontTest, ArialIsMetricCompatible) {
  // At a 22-pixel cell the em is 19 to 20 pixels: "W" about 19, "i" about 4 wide.
  Font font("Arial", 22);
  EXPECT_GE(font.Advance('W'), 17);
  EXPECT_LE(font.Advance('W'), 20);
  EXPECT_GE(font.Advance('i'), 4);
  EXPECT_LE(font.Advance('i'), 5);
  EXPECT_EQ(font.Advance('1'), font.Advance('8'));  // tabular figures
  EXPECT_GT(Font("Arial", 22, Font::kBold).TextWidth("Programming", 11), font.TextWidth("Programming", 11));
}

TEST(FontTest, ControlCharactersHaveNoWidthAndNoInk) {
  Font font("Arial", 16);
  for (unsigned char c : {0, 9, 10, 13, 31, 127, 0x85}) {
    EXPECT_EQ(font.Advance(c), 0);
    EXPECT_TRUE(font.GlyphOf(c).coverage.empty());
  }
  EXPECT_EQ(font.TextWidth("i\tWW", 3), font.Advance('i') + font.Advance('W'));
  EXPECT_GT(font.Advance(' '), 0);
  EXPECT_TRUE(font.GlyphOf(' ').coverage.empty());
  EXPECT_GT(font.Advance(0xE9), 0);  // Latin-1 e acute
}

TEST(FontTest, EachGlyphIsRenderedOnceAndSharedAcrossThreads) {
  Font font("Arial", 16);
  std::vector<std::thread> threads;
  std::vector<const Glyph*> seen(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&font, &seen, t] {
      for (unsigned char c = 'A'; c <= 'z'; ++c) font.GlyphOf(c);
      seen[t] = &font.GlyphOf('Q');
    });
  }
  for (auto& thread : threads) thread.join();
  for (const Glyph* glyph : seen) EXPECT_EQ(glyph, &font.GlyphOf('Q'));
  EXPECT_EQ(seen[0]->coverage.size(), static_cast<size_t>(seen[0]->width * seen[0]->height));
  EXPECT_FALSE(seen[0]->coverage.empty());
}

TEST(FontTest, UnknownFaceStillGivesAUsableFont) {
  Font font("No Such Face 12345", 18);
  EXPECT_TRUE(font.IsValid());  // fontconfig substitutes a default face
  EXPECT_EQ(font.Height(), 18);
  EXPECT_GT(font.Advance('x'), 0);
}

}  // namespace
