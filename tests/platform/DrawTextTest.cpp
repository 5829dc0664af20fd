#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/DeviceContext.h"
#include "platform/Font.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlue = RGB(0, 0, 255);

// The ink of a surface: the smallest rectangle holding every non-white pixel.
Rect InkOf(const Surface& s) {
  Rect ink{s.Width(), s.Height(), 0, 0};
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      if (s.Pixel(x, y) == kWhite) continue;
      ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), std::max(ink.bottom, y + 1)};
    }
  }
  return ink;
}

bool SamePixels(const Surface& a, const Surface& b) {
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row(y), b.Row(y), a.Width() * sizeof(uint32_t)) != 0) return false;
  }
  return true;
}

class DrawTextTest : public testing::Test {
 protected:
  int Width(const std::string& text) { return font.TextWidth(text.data(), text.size()); }

  // Where lines should break, worked out word by word from the font's
  // advances: a word goes on the current line while the line (blanks
  // included) stays within width; a lone overlong word keeps a line to itself.
  std::vector<std::string> ExpectedLines(const std::vector<std::string>& words, int width) {
    std::vector<std::string> lines;
    std::string line;
    for (const std::string& word : words) {
      const std::string candidate = line.empty() ? word : line + " " + word;
      if (line.empty() || Width(candidate) <= width) {
        line = candidate;
      } else {
        lines.push_back(line);
        line = word;
      }
    }
    lines.push_back(line);
    return lines;
  }

  Font font{"Arial", 22};
  Surface surface{400, 300};
  DeviceContext dc{&surface};
  void SetUp() override { dc.SelectFont(&font); }
};

TEST_F(DrawTextTest, MeasuresOneLineAsTheSumOfItsAdvances) {
  Rect r{10, 20, 10, 20};
  EXPECT_EQ(dc.DrawText("Programming... Finished", -1, r, kTextSingleLine | kTextCalcRect), 22);
  EXPECT_EQ(r, (Rect{10, 20, 10 + Width("Programming... Finished"), 42}));
  Rect part{0, 0, 0, 0};
  dc.DrawText("Programming... Finished", 11, part, kTextCalcRect);
  EXPECT_EQ(part.right, Width("Programming"));
}

TEST_F(DrawTextTest, EmptyTextMeasuresNothing) {
  Rect r{5, 5, 5, 5};
  EXPECT_EQ(dc.DrawText("", -1, r, kTextCalcRect | kTextWordBreak), 0);
  EXPECT_EQ(r, (Rect{5, 5, 5, 5}));
  EXPECT_EQ(dc.DrawText(nullptr, -1, r, kTextCalcRect), 0);
}

struct WrapCase {
  std::vector<std::string> words;
  int width;
};

class WordBreakTest : public DrawTextTest, public testing::WithParamInterface<WrapCase> {};

TEST_P(WordBreakTest, BreaksWhereTheWordsStopFitting) {
  std::string text;
  for (const std::string& word : GetParam().words) text += (text.empty() ? "" : " ") + word;
  const std::vector<std::string> lines = ExpectedLines(GetParam().words, GetParam().width);
  int widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, Width(line));

  Rect r{0, 0, GetParam().width, 0};
  EXPECT_EQ(dc.DrawText(text.c_str(), -1, r, kTextWordBreak | kTextCalcRect), 22 * static_cast<int>(lines.size()));
  EXPECT_EQ(r, (Rect{0, 0, widest, 22 * static_cast<int>(lines.size())}));

  // Drawing the text matches drawing its expected lines one by one.
  Surface expected(400, 300);
  DeviceContext expectedDc(&expected);
  expectedDc.SelectFont(&font);
  const int right = 10 + GetParam().width;
  for (size_t i = 0; i < lines.size(); ++i) {
    Rect lineRect{10, 10 + 22 * static_cast<int>(i), right, 300};
    expectedDc.DrawText(lines[i].c_str(), -1, lineRect, kTextSingleLine);
  }
  Rect box{10, 10, right, 300};
  dc.DrawText(text.c_str(), -1, box, kTextWordBreak);
  EXPECT_TRUE(SamePixels(surface, expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WordBreakTest,
    testing::Values(WrapCase{{"Please", "select", "a", "node", "to", "program", "first"}, 120},
                    WrapCase{{"The", "node", "did", "not", "answer", "the", "bootloader", "command."}, 200},
                    WrapCase{{"Unrecognizedbootloaderreply", "from", "node"}, 100},
                    WrapCase{{"a", "b", "c"}, 0}, WrapCase{{"Start"}, 60},
                    WrapCase{{"Programming", "Complete"}, 60}));

TEST_F(DrawTextTest, NewlinesBreakUnlessSingleLine) {
  Rect r{0, 0, 0, 0};
  EXPECT_EQ(dc.DrawText("one\ntwo\r\nthree", -1, r, kTextCalcRect), 66);
  EXPECT_EQ(r.right, Width("three"));
  Rect single{0, 0, 0, 0};
  EXPECT_EQ(dc.DrawText("one\ntwo", -1, single, kTextCalcRect | kTextSingleLine), 22);
  EXPECT_EQ(single.right, Width("onetwo"));  // line ends have no width
  Rect blank{0, 0, 0, 0};
  EXPECT_EQ(dc.DrawText("a\n\nb", -1, blank, kTextCalcRect), 66);
}

TEST_F(DrawTextTest, BlanksAtABreakBelongToNoLine) {
  const int width = Width("alpha");
  Rect r{0, 0, width, 0};
  EXPECT_EQ(dc.DrawText("alpha     beta", -1, r, kTextCalcRect | kTextWordBreak), 44);
  EXPECT_EQ(r.right, width);
}

TEST_F(DrawTextTest, CentresEachLineAndVerticallyCentresASingleLine) {
  Rect r{0, 0, 400, 300};
  dc.DrawText("I", -1, r, kTextCenter | kTextVCenter | kTextSingleLine);
  const Rect ink = InkOf(surface);
  const int textLeft = (400 - Width("I")) / 2;
  EXPECT_GE(ink.left, textLeft);
  EXPECT_LE(ink.right, textLeft + Width("I"));
  const int cellTop = (300 - 22) / 2;
  EXPECT_GE(ink.top, cellTop);
  EXPECT_LE(ink.bottom, cellTop + font.Ascent());  // "I" sits on the baseline
}

TEST_F(DrawTextTest, VerticalCentringNeedsSingleLine) {
  Rect r{0, 0, 400, 300};
  dc.DrawText("I", -1, r, kTextVCenter);
  EXPECT_LT(InkOf(surface).top, 22);
}

TEST_F(DrawTextTest, OpaqueModeFillsEachLineCellTransparentModeDoesNot) {
  dc.SetBkMode(kOpaque);
  dc.SetBkColor(kBlue);
  Rect r{10, 10, 400, 300};
  dc.DrawText("ab\nabcd", -1, r, 0);
  EXPECT_EQ(surface.Pixel(10, 10), kBlue);
  EXPECT_EQ(surface.Pixel(10 + Width("ab") - 1, 31), kBlue);
  EXPECT_NE(surface.Pixel(10 + Width("ab"), 31), kBlue);  // the first line's cell ends there
  EXPECT_EQ(surface.Pixel(10 + Width("abcd") - 1, 53), kBlue);
  EXPECT_EQ(surface.Pixel(10, 54), kWhite);

  Surface clear(400, 300);
  DeviceContext clearDc(&clear);
  clearDc.SetBkMode(kTransparent);
  clearDc.SetBkColor(kBlue);
  clearDc.DrawText("ab", -1, r, 0);
  EXPECT_EQ(clear.Pixel(10, 10), kWhite);
}

TEST_F(DrawTextTest, TextColourIsBlendedIntoTheSurface) {
  dc.SetTextColor(kBlue);
  dc.SetBkMode(kTransparent);
  Rect r{0, 0, 400, 300};
  dc.DrawText("HHH", -1, r, 0);
  bool solid = false;
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < Width("HHH"); ++x) {
      const uint32_t p = surface.Pixel(x, y);
      EXPECT_EQ(BlueOf(p), 255u);  // white towards blue: only red and green fall
      EXPECT_EQ(RedOf(p), GreenOf(p));
      solid = solid || p == kBlue;
    }
  }
  EXPECT_TRUE(solid);
}

TEST_F(DrawTextTest, StaysInsideItsRectangleAndTheSurface) {
  Rect r{-30, -5, 40, 12};
  dc.DrawText("Software Version: 1.4.1.0", -1, r, kTextSingleLine);
  const Rect ink = InkOf(surface);
  EXPECT_LE(ink.right, 40);
  EXPECT_LE(ink.bottom, 12);
  Rect below{100, 290, 300, 400};
  dc.DrawText("gjpqy", -1, below, 0);
  Rect offSurface{500, 500, 900, 900};
  EXPECT_EQ(dc.DrawText("far away", -1, offSurface, 0), 22);
}

TEST_F(DrawTextTest, ContextWithoutFontUsesArialSixteen) {
  DeviceContext plain(&surface);
  EXPECT_EQ(&plain.CurrentFont(), &Font::Default());
  EXPECT_EQ(Font::Default().Height(), 16);
  Rect r{0, 0, 0, 0};
  EXPECT_EQ(plain.DrawText("x", -1, r, kTextCalcRect), 16);
  EXPECT_EQ(dc.SelectFont(nullptr), &font);
  EXPECT_EQ(&dc.CurrentFont(), &Font::Default());
}

}  // namespace
