#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "graphics/DeviceContext.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);
const Pen kRedPen = Pen::Solid(1, kRed);
const Pen kWideRedPen = Pen::Solid(3, kRed);
const Pen kNoPen{true, 1, 0};
const Brush kRedBrush = Brush::Solid(kRed);
const Brush kBlueBrush = Brush::Solid(kBlue);

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

Points Block(int left, int top, int right, int bottom, const Points& minus = {}) {
  Points points;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (!minus.count({x, y})) points.insert({x, y});
    }
  }
  return points;
}

Points Outline(int left, int top, int right, int bottom) {
  return Block(left, top, right, bottom, Block(left + 1, top + 1, right - 1, bottom - 1));
}

using Drawing = std::function<void(DeviceContext&)>;
using Path = std::vector<std::pair<int, int>>;

Drawing Lines(const Pen* pen, Path path) {
  return [=](DeviceContext& dc) {
    dc.SelectPen(pen);
    dc.MoveTo(path[0].first, path[0].second);
    for (size_t i = 1; i < path.size(); ++i) dc.LineTo(path[i].first, path[i].second);
  };
}

Drawing Box(const Pen* pen, const Brush* brush, Rect r) {
  return [=](DeviceContext& dc) {
    dc.SelectPen(pen);
    dc.SelectBrush(brush);
    dc.Rectangle(r);
  };
}

Drawing Fill(const Brush* brush, Rect r) {
  return [=](DeviceContext& dc) {
    dc.SelectBrush(brush);
    dc.FillRect(r);
  };
}

struct DrawCase {
  Drawing draw;  // on a white 12 x 12 surface
  Points red;
  Points blue;
};

class PixelRuleTest : public testing::TestWithParam<DrawCase> {};

TEST_P(PixelRuleTest, PaintsExactlyTheExpectedPixels) {
  Surface s(12, 12);
  DeviceContext dc(&s);
  GetParam().draw(dc);
  EXPECT_EQ(PixelsOf(s, kRed), GetParam().red);
  EXPECT_EQ(PixelsOf(s, kBlue), GetParam().blue);
  EXPECT_EQ(PixelsOf(s, kWhite).size() + GetParam().red.size() + GetParam().blue.size(), 144u);  // nothing else
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PixelRuleTest,
    testing::Values(
        DrawCase{Fill(&kBlueBrush, {2, 3, 6, 5}), {}, Block(2, 3, 6, 5)},
        DrawCase{Fill(Brush::Hollow(), {0, 0, 12, 12}), {}, {}},
        DrawCase{Box(&kRedPen, &kBlueBrush, {2, 2, 8, 7}), Outline(2, 2, 8, 7), Block(3, 3, 7, 6)},
        DrawCase{Box(&kNoPen, &kBlueBrush, {2, 2, 8, 7}), {}, Block(2, 2, 7, 6)},
        DrawCase{Box(&kWideRedPen, Brush::Hollow(), {3, 3, 10, 10}), Block(2, 2, 11, 11, Block(5, 5, 8, 8)), {}},
        DrawCase{Lines(&kRedPen, {{1, 2}, {5, 2}}), Block(1, 2, 5, 3), {}},
        DrawCase{Lines(&kRedPen, {{5, 2}, {1, 2}}), Block(2, 2, 6, 3), {}},
        DrawCase{Lines(&kRedPen, {{3, 1}, {3, 6}}), Block(3, 1, 4, 6), {}},
        DrawCase{Lines(&kRedPen, {{3, 6}, {3, 1}}), Block(3, 2, 4, 7), {}},
        DrawCase{Lines(&kRedPen, {{0, 0}, {4, 4}}), {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {}},
        DrawCase{Lines(&kRedPen, {{0, 0}, {4, 2}}), {{0, 0}, {1, 0}, {2, 1}, {3, 1}}, {}},
        DrawCase{Lines(&kRedPen, {{4, 2}, {0, 0}}), {{4, 2}, {3, 2}, {2, 1}, {1, 1}}, {}},
        DrawCase{Lines(&kRedPen, {{2, 2}, {2, 2}}), {}, {}},
        DrawCase{Lines(&kRedPen, {{-5, 3}, {20, 3}}), Block(0, 3, 12, 4), {}},
        // A closed outline covers every corner once.
        DrawCase{Lines(&kRedPen, {{1, 1}, {8, 1}, {8, 6}, {1, 6}, {1, 1}}), Outline(1, 1, 9, 7), {}},
        // A wide pen's line is a band centred on the path, also from far off the surface.
        DrawCase{Lines(&kWideRedPen, {{2, 5}, {8, 5}}), Block(1, 4, 9, 7), {}},
        DrawCase{Lines(&kWideRedPen, {{-50, -40}, {60, 70}}),
                 {{0, 8}, {0, 9}, {0, 10}, {0, 11}, {1, 9}, {1, 10}, {1, 11}, {2, 10}, {2, 11}, {3, 11}},
                 {}},
        // Without a pen the line is not drawn, but the position moves.
        DrawCase{[](DeviceContext& dc) {
                   Lines(&kNoPen, {{0, 0}, {5, 0}})(dc);
                   dc.SelectPen(&kRedPen);
                   dc.LineTo(5, 3);
                 },
                 Block(5, 0, 6, 3),
                 {}},
        DrawCase{Fill(&kRedBrush, {-5, -5, 2, 2}), Block(0, 0, 2, 2), {}},
        DrawCase{Fill(&kRedBrush, {8, 6, 50, 50}), Block(8, 6, 12, 12), {}},
        DrawCase{Fill(&kRedBrush, {-100, 3, 100, 4}), Block(0, 3, 12, 4), {}},
        DrawCase{Fill(&kRedBrush, {20, 20, 30, 30}), {}, {}}, DrawCase{Fill(&kRedBrush, {5, 5, 3, 3}), {}, {}},
        DrawCase{Fill(&kRedBrush, {-2147483647, -2147483647, 2147483647, 2147483647}), Block(0, 0, 12, 12), {}}));

struct BlitCase {
  int x, y, w, h, sx, sy;
  Points expected;  // target pixels written, all from the source
};

class BitBltTest : public testing::TestWithParam<BlitCase> {};

// Every source pixel is numbered, so every copied pixel shows where it came from.
Surface Numbered(int width, int height) {
  Surface s(width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) s.SetPixel(x, y, 0x100 + y * 16 + x);
  }
  return s;
}

TEST_P(BitBltTest, CopiesOnlyWhatLiesInBothSurfacesFromTheMatchingSource) {
  const Surface source = Numbered(4, 3);
  Surface target(6, 5, 0);
  DeviceContext dc(&target);
  const BlitCase& c = GetParam();
  dc.BitBlt(c.x, c.y, c.w, c.h, source, c.sx, c.sy);
  const Points written = Block(0, 0, 6, 5, PixelsOf(target, 0));
  EXPECT_EQ(written, c.expected);
  for (auto [x, y] : written) EXPECT_EQ(target.Pixel(x, y), source.Pixel(x - c.x + c.sx, y - c.y + c.sy));
}

INSTANTIATE_TEST_SUITE_P(
    Clipping, BitBltTest,
    testing::Values(BlitCase{1, 1, 4, 3, 0, 0, Block(1, 1, 5, 4)}, BlitCase{-2, -1, 4, 3, 0, 0, Block(0, 0, 2, 2)},
                    BlitCase{4, 3, 4, 3, 0, 0, Block(4, 3, 6, 5)}, BlitCase{0, 0, 10, 10, 2, 1, Block(0, 0, 2, 2)},
                    BlitCase{0, 0, 3, 3, -1, -2, Block(1, 2, 3, 3)}, BlitCase{0, 0, 4, 3, 4, 0, {}},
                    BlitCase{6, 0, 4, 3, 0, 0, {}}, BlitCase{0, 0, -3, 3, 0, 0, {}},
                    BlitCase{-2147483647, 0, 2147483647, 3, 0, 0, {}}));

TEST(DeviceContextTest, CopyWithinOneSurfaceMovesThePictureWhole) {
  for (const int shift : {-2, 2}) {
    Surface s = Numbered(5, 8);
    DeviceContext(&s).BitBlt(1, 2 + shift, 3, 4, s, 0, 2);
    for (auto [x, y] : Block(0, 0, 3, 4)) EXPECT_EQ(s.Pixel(1 + x, 2 + shift + y), 0x100u + (2 + y) * 16 + x) << shift;
  }
}

}  // namespace
