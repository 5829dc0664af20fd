#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/DeviceContext.h"
#include "graphics/Font.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlue = RGB(0, 0, 255);

// The smallest rectangle holding every pixel that is not white.
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

class DrawTextTest : public testing::Test {
 protected:
  void SetUp() override { dc.SelectFont(&font); }
  int Width(const std::string& text) { return font.TextWidth(text.data(), text.size()); }

  Font font{"Arial", 22};
  Surface surface{400, 300};
  DeviceContext dc{&surface};
};

struct MeasureCase {
  const char* text;
  int length;
  uint32_t format;
  const char* fitting;  // the box is as wide as this text
  int lines;
  const char* widest;
};

class MeasureTest : public DrawTextTest, public testing::WithParamInterface<MeasureCase> {};

TEST_P(MeasureTest, GivesTheLinesAndTheWidestLine) {
  const MeasureCase& c = GetParam();
  Rect r{10, 20, 10 + Width(c.fitting), 20};
  EXPECT_EQ(dc.DrawText(c.text, c.length, r, c.format | kTextCalcRect), 22 * c.lines);
  EXPECT_EQ(r, (Rect{10, 20, 10 + Width(c.widest), 20 + 22 * c.lines}));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MeasureTest,
    testing::Values(MeasureCase{"Programming... Finished", -1, kTextSingleLine, "", 1, "Programming... Finished"},
                    MeasureCase{"Programming... Finished", 11, 0, "", 1, "Programming"},
                    MeasureCase{"", -1, kTextWordBreak, "", 0, ""}, MeasureCase{nullptr, -1, 0, "", 0, ""},
                    MeasureCase{"one\ntwo\r\nthree", -1, 0, "", 3, "three"},
                    MeasureCase{"one\rthree", -1, 0, "", 2, "three"}, MeasureCase{"ab\n\nb", -1, 0, "", 3, "ab"},
                    MeasureCase{"one\ntwo", -1, kTextSingleLine, "", 1, "onetwo"},  // line ends have no width
                    MeasureCase{"alpha     beta", -1, kTextWordBreak, "alpha", 2, "alpha"}));  // blanks at a break

struct WrapCase {
  std::vector<std::string> words;
  int width;
};

class WordBreakTest : public DrawTextTest, public testing::WithParamInterface<WrapCase> {
 protected:
  // Worked out word by word: a word joins the line while the line, blanks
  // included, stays within the width; an overlong word keeps a line to itself.
  std::vector<std::string> ExpectedLines() {
    std::vector<std::string> lines{""};
    for (const std::string& word : GetParam().words) {
      const std::string candidate = lines.back().empty() ? word : lines.back() + " " + word;
      if (lines.back().empty() || Width(candidate) <= GetParam().width) {
        lines.back() = candidate;
      } else {
        lines.push_back(word);
      }
    }
    return lines;
  }
};

TEST_P(WordBreakTest, BreaksWhereTheWordsStopFitting) {
  std::string text;
  for (const std::string& word : GetParam().words) text += (text.empty() ? "" : " ") + word;
  const std::vector<std::string> lines = ExpectedLines();
  const int height = 22 * static_cast<int>(lines.size());
  int widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, Width(line));
  Rect r{0, 0, GetParam().width, 0};
  EXPECT_EQ(dc.DrawText(text.c_str(), -1, r, kTextWordBreak | kTextCalcRect), height);
  EXPECT_EQ(r, (Rect{0, 0, widest, height}));

  // Drawn, the text looks like its expected lines drawn one by one.
  Surface expected(400, 300);
  DeviceContext expectedDc(&expected);
  expectedDc.SelectFont(&font);
  for (size_t i = 0; i < lines.size(); ++i) {
    Rect line{10, 10 + 22 * static_cast<int>(i), 10 + GetParam().width, 300};
    expectedDc.DrawText(lines[i].c_str(), -1, line, kTextSingleLine);
  }
  Rect box{10, 10, 10 + GetParam().width, 300};
  dc.DrawText(text.c_str(), -1, box, kTextWordBreak);
  for (int y = 0; y < 300; ++y) ASSERT_EQ(std::memcmp(surface.Row(y), expected.Row(y), 400 * 4), 0) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WordBreakTest,
    testing::Values(WrapCase{{"Please", "select", "a", "node", "to", "program", "first"}, 120},
                    WrapCase{{"The", "node", "did", "not", "answer", "the", "bootloader", "command."}, 200},
                    WrapCase{{"Unrecognizedbootloaderreply", "from", "node"}, 100}, WrapCase{{"a", "b", "c"}, 0},
                    WrapCase{{"Start"}, 60}, WrapCase{{"Programming", "Complete"}, 60}));

TEST_F(DrawTextTest, CentresEachLineAndVerticallyOnlyASingleLine) {
  Rect r{0, 0, 400, 300};
  dc.DrawText("I", -1, r, kTextCenter | kTextVCenter | kTextSingleLine);
  const Rect ink = InkOf(surface);
  const int textLeft = (400 - Width("I")) / 2, cellTop = (300 - 22) / 2;
  EXPECT_GE(ink.left, textLeft);
  EXPECT_LE(ink.right, textLeft + Width("I"));
  EXPECT_GE(ink.top, cellTop);
  EXPECT_LE(ink.bottom, cellTop + font.Ascent());  // "I" sits on the baseline

  surface = Surface(400, 300);
  dc.DrawText("I", -1, r, kTextVCenter);
  EXPECT_LT(InkOf(surface).top, 22);
}

TEST_F(DrawTextTest, OpaqueModeFillsEachLineCellTransparentModeDoesNot) {
  dc.SetBkColor(kBlue);
  Rect r{10, 10, 400, 300};
  dc.DrawText("ab\nabcd", -1, r, 0);  // opaque is the default
  EXPECT_EQ(surface.Pixel(10, 10), kBlue);
  EXPECT_EQ(surface.Pixel(10 + Width("ab") - 1, 31), kBlue);
  EXPECT_NE(surface.Pixel(10 + Width("ab"), 31), kBlue);  // the first line's cell ends there
  EXPECT_EQ(surface.Pixel(10 + Width("abcd") - 1, 53), kBlue);
  EXPECT_EQ(surface.Pixel(10, 54), kWhite);

  surface = Surface(400, 300);
  dc.SetBkMode(kTransparent);
  dc.DrawText("ab", -1, r, 0);
  EXPECT_EQ(surface.Pixel(10, 10), kWhite);
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
      EXPECT_TRUE(BlueOf(p) == 255 && RedOf(p) == GreenOf(p)) << x << "," << y;  // white towards blue
      solid = solid || p == kBlue;
    }
  }
  EXPECT_TRUE(solid);
}

TEST_F(DrawTextTest, StaysInsideItsRectangleAndTheSurface) {
  Rect r{-30, -5, 40, 12};
  dc.DrawText("Software Version: 1.4.1.0", -1, r, kTextSingleLine);
  EXPECT_LE(InkOf(surface).right, 40);
  EXPECT_LE(InkOf(surface).bottom, 12);
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
