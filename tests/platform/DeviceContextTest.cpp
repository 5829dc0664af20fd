#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/DeviceContext.h"

namespace {

constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);

using Points = std::set<std::pair<int, int>>;

Points PixelsOf(const Surface& s, uint32_t colour) {
  Points points;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      if (s.Pixel(x, y) == colour) points.insert({x, y});
    }
  }
  return points;
}

Points Block(int left, int top, int right, int bottom) {
  Points points;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) points.insert({x, y});
  }
  return points;
}

Points Outline(int left, int top, int right, int bottom) {
  Points points = Block(left, top, right, bottom);
  for (const auto& p : Block(left + 1, top + 1, right - 1, bottom - 1)) points.erase(p);
  return points;
}

TEST(DeviceContextTest, FillRectExcludesRightAndBottomAndUsesTheSelectedBrush) {
  Surface s(20, 20);
  DeviceContext dc(&s);
  const Brush blue = Brush::Solid(kBlue);
  dc.SelectBrush(&blue);
  dc.FillRect({2, 3, 6, 5});
  EXPECT_EQ(PixelsOf(s, kBlue), Block(2, 3, 6, 5));
  dc.SelectBrush(Brush::Hollow());
  dc.FillRect({0, 0, 20, 20});
  EXPECT_EQ(PixelsOf(s, kBlue).size(), 8u);
}

struct ClipCase {
  Rect rect;
  Points expected;
};

class FillClipTest : public testing::TestWithParam<ClipCase> {};

TEST_P(FillClipTest, NeverWritesOutsideTheSurface) {
  Surface s(10, 8);
  DeviceContext dc(&s);
  dc.FillSolidRect(GetParam().rect, kRed);
  EXPECT_EQ(PixelsOf(s, kRed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Edges, FillClipTest,
                         testing::Values(ClipCase{{-5, -5, 2, 2}, Block(0, 0, 2, 2)},
                                         ClipCase{{8, 6, 50, 50}, Block(8, 6, 10, 8)},
                                         ClipCase{{-100, 3, 100, 4}, Block(0, 3, 10, 4)},
                                         ClipCase{{20, 20, 30, 30}, {}}, ClipCase{{5, 5, 3, 3}, {}},
                                         ClipCase{{-2147483647, -2147483647, 2147483647, 2147483647},
                                                  Block(0, 0, 10, 8)}));

TEST(DeviceContextTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  Surface s(20, 20);
  DeviceContext dc(&s);
  const Pen red = Pen::Solid(1, kRed);
  const Brush blue = Brush::Solid(kBlue);
  dc.SelectPen(&red);
  dc.SelectBrush(&blue);
  dc.Rectangle({2, 2, 8, 7});
  EXPECT_EQ(PixelsOf(s, kRed), Outline(2, 2, 8, 7));
  EXPECT_EQ(PixelsOf(s, kBlue), Block(3, 3, 7, 6));
}

TEST(DeviceContextTest, RectangleWithoutPenFillsOnePixelLessEachWay) {
  Surface s(20, 20);
  DeviceContext dc(&s);
  const Pen none{true, 1, 0};
  const Brush blue = Brush::Solid(kBlue);
  dc.SelectPen(&none);
  dc.SelectBrush(&blue);
  dc.Rectangle({2, 2, 8, 7});
  EXPECT_EQ(PixelsOf(s, kBlue), Block(2, 2, 7, 6));
}

TEST(DeviceContextTest, WidePenSpreadsToBothSidesOfTheOutline) {
  Surface s(20, 20);
  DeviceContext dc(&s);
  const Pen red = Pen::Solid(3, kRed);
  dc.SelectPen(&red);
  dc.SelectBrush(Brush::Hollow());
  dc.Rectangle({5, 5, 12, 12});
  Points expected = Block(4, 4, 13, 13);
  for (const auto& p : Block(7, 7, 10, 10)) expected.erase(p);
  EXPECT_EQ(PixelsOf(s, kRed), expected);
}

struct LineCase {
  int x0, y0, x1, y1;
  Points expected;
};

class LineTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineTest, DrawsUpToButExcludingTheEndPoint) {
  Surface s(12, 12);
  DeviceContext dc(&s);
  const Pen red = Pen::Solid(1, kRed);
  dc.SelectPen(&red);
  const LineCase& c = GetParam();
  dc.MoveTo(c.x0, c.y0);
  dc.LineTo(c.x1, c.y1);
  EXPECT_EQ(PixelsOf(s, kRed), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, LineTest,
    testing::Values(LineCase{1, 2, 5, 2, Block(1, 2, 5, 3)}, LineCase{5, 2, 1, 2, Block(2, 2, 6, 3)},
                    LineCase{3, 1, 3, 6, Block(3, 1, 4, 6)}, LineCase{3, 6, 3, 1, Block(3, 2, 4, 7)},
                    LineCase{0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
                    LineCase{0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
                    LineCase{4, 2, 0, 0, {{4, 2}, {3, 2}, {2, 1}, {1, 1}}},
                    LineCase{2, 2, 2, 2, {}},
                    LineCase{-5, 3, 20, 3, Block(0, 3, 12, 4)}));

TEST(DeviceContextTest, ClosedOutlineOfLineToCoversEveryCornerOnce) {
  Surface s(12, 12);
  DeviceContext dc(&s);
  dc.MoveTo(1, 1);
  dc.LineTo(8, 1);
  dc.LineTo(8, 6);
  dc.LineTo(1, 6);
  dc.LineTo(1, 1);
  EXPECT_EQ(PixelsOf(s, RGB(0, 0, 0)), Outline(1, 1, 9, 7));  // the default pen is black
}

TEST(DeviceContextTest, WidePenLineIsABandCentredOnThePath) {
  Surface s(12, 12);
  DeviceContext dc(&s);
  const Pen red = Pen::Solid(3, kRed);
  dc.SelectPen(&red);
  dc.MoveTo(2, 5);
  dc.LineTo(8, 5);
  EXPECT_EQ(PixelsOf(s, kRed), Block(1, 4, 9, 7));
  Surface far(12, 12);
  DeviceContext farDc(&far);
  farDc.SelectPen(&red);
  farDc.MoveTo(-50, -40);
  farDc.LineTo(60, 70);  // a diagonal crossing the surface
  EXPECT_FALSE(PixelsOf(far, kRed).empty());
}

TEST(DeviceContextTest, NoPenDrawsNoLineButStillMoves) {
  Surface s(12, 12);
  DeviceContext dc(&s);
  const Pen none{true, 1, 0};
  const Pen red = Pen::Solid(1, kRed);
  dc.SelectPen(&none);
  dc.MoveTo(0, 0);
  dc.LineTo(5, 0);
  dc.SelectPen(&red);
  dc.LineTo(5, 3);
  EXPECT_EQ(PixelsOf(s, kRed), Block(5, 0, 6, 3));
}

struct BlitCase {
  int x, y, w, h, sx, sy;
  Points expected;  // target pixels written, all from the source
};

class BitBltTest : public testing::TestWithParam<BlitCase> {};

// The source numbers its pixels so that every copied pixel shows where it came from.
TEST_P(BitBltTest, CopiesOnlyWhatLiesInBothSurfacesFromTheMatchingSource) {
  Surface source(4, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) source.SetPixel(x, y, 0x100 + y * 16 + x);
  }
  Surface target(6, 5, 0);
  DeviceContext dc(&target);
  const BlitCase& c = GetParam();
  dc.BitBlt(c.x, c.y, c.w, c.h, source, c.sx, c.sy);
  Points written;
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const uint32_t p = target.Pixel(x, y);
      if (p == 0) continue;
      written.insert({x, y});
      EXPECT_EQ(p, source.Pixel(x - c.x + c.sx, y - c.y + c.sy)) << x << "," << y;
    }
  }
  EXPECT_EQ(written, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Clipping, BitBltTest,
    testing::Values(BlitCase{1, 1, 4, 3, 0, 0, Block(1, 1, 5, 4)}, BlitCase{-2, -1, 4, 3, 0, 0, Block(0, 0, 2, 2)},
                    BlitCase{4, 3, 4, 3, 0, 0, Block(4, 3, 6, 5)}, BlitCase{0, 0, 10, 10, 2, 1, Block(0, 0, 2, 2)},
                    BlitCase{0, 0, 3, 3, -1, -2, Block(1, 2, 3, 3)}, BlitCase{0, 0, 4, 3, 4, 0, {}},
                    BlitCase{6, 0, 4, 3, 0, 0, {}}, BlitCase{0, 0, -3, 3, 0, 0, {}},
                    BlitCase{-2147483647, 0, 2147483647, 3, 0, 0, {}}));

}  // namespace

namespace {

TEST(DeviceContextTest, CopyWithinOneSurfaceMovesThePictureWhole) {
  for (const int shift : {-2, 2}) {
    Surface s(5, 8, 0);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 5; ++x) s.SetPixel(x, y, 100 + y * 10 + x);
    }
    DeviceContext dc(&s);
    dc.BitBlt(1, 2 + shift, 3, 4, s, 0, 2);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(s.Pixel(1 + x, 2 + shift + y), 100u + (2 + y) * 10 + x) << shift;
    }
  }
}

}  // namespace
