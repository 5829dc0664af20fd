#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

#include "ui/ProgressBar.h"

namespace {

constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);
constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kYellow = RGB(255, 255, 0);
constexpr uint32_t kGreen = RGB(0, 255, 0);

// The main screen's bar: 320 x 25 at (76, 565), inset 2, blue over 0 to 100.
std::unique_ptr<ProgressBar> MainScreenBar() {
  auto bar = std::make_unique<ProgressBar>(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar->SetSize(25, 320);
  bar->SetPosition(480 - 404, 640 - 75);
  bar->SetMinimum(0.0);
  bar->SetMaximum(100.0);
  bar->SetInset(2);
  bar->SetFillColor(kBlue);
  bar->SetValue(0.0);
  return bar;
}

struct Fill {
  Rect area;  // bounding box of the fill colour's pixels; empty when none
  uint32_t colour = kWhite;
};

// Finds the fill: the pixels inside the outline that are neither white nor black.
Fill FillOf(const Surface& s) {
  Fill fill{{s.Width(), s.Height(), 0, 0}};
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      const uint32_t p = s.Pixel(x, y);
      if (p == kWhite || p == kBlack) continue;
      fill.colour = p;
      fill.area = {std::min(fill.area.left, x), std::min(fill.area.top, y), std::max(fill.area.right, x + 1),
                   std::max(fill.area.bottom, y + 1)};
    }
  }
  if (fill.area.left >= fill.area.right) fill.area = {};
  return fill;
}

struct WidthCase {
  double value;
  int width;
};

class FillWidthTest : public testing::TestWithParam<WidthCase> {};

TEST_P(FillWidthTest, FillGrowsFromOnePixelInsideTheInset) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  bar.SetValue(GetParam().value);
  Surface s(480, 640);
  DeviceContext dc(&s);
  EXPECT_EQ(bar.Draw(dc), (Rect{76, 565, 396, 590}));
  const Fill fill = FillOf(s);
  if (GetParam().width == 0) {
    EXPECT_EQ(fill.area, Rect{});
    return;
  }
  EXPECT_EQ(fill.colour, kBlue);
  EXPECT_EQ(fill.area, (Rect{79, 568, 79 + GetParam().width, 568 + 20}));
}

// Extended precision matters at 75: 64-bit arithmetic would give 235.
INSTANTIATE_TEST_SUITE_P(Values, FillWidthTest,
                         testing::Values(WidthCase{100, 315}, WidthCase{75, 236}, WidthCase{50, 157},
                                         WidthCase{10, 30}, WidthCase{1, 2}, WidthCase{0.5, 0}, WidthCase{0, 0},
                                         WidthCase{150, 315}, WidthCase{-5, 0}));

TEST(ProgressBarTest, EveryWholePercentFillsFloorOfItsShareMinusOne) {
  for (int percent = 1; percent <= 100; ++percent) {
    const auto owner = MainScreenBar();
    ProgressBar& bar = *owner;
    bar.SetValue(percent);
    Surface s(480, 640);
    DeviceContext dc(&s);
    bar.Draw(dc);
    const int expected = percent * 316 / 100 - 1;
    EXPECT_EQ(FillOf(s).area.Width(), expected < 1 ? 0 : expected) << percent;
  }
}

TEST(ProgressBarTest, OutlineUsesTheCurrentPenAndClosesAllFourCorners) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  Surface s(480, 640);
  DeviceContext dc(&s);
  bar.Draw(dc);
  for (auto [x, y] : {std::pair{76, 565}, {396, 565}, {396, 590}, {76, 590}, {200, 565}, {200, 590}, {76, 580},
                      {396, 580}}) {
    EXPECT_EQ(s.Pixel(x, y), kBlack) << x << "," << y;
  }
  EXPECT_EQ(s.Pixel(77, 566), kWhite);
  EXPECT_EQ(s.Pixel(397, 591), kWhite);
}

TEST(ProgressBarTest, ValuesAreClamped) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  bar.SetValue(150);
  EXPECT_EQ(bar.Value(), 100);
  bar.SetValue(-5);
  EXPECT_EQ(bar.Value(), 0);
  bar.SetValue(42.5);
  EXPECT_EQ(bar.Value(), 42.5);
  bar.SetValue(std::nan(""));
  EXPECT_EQ(bar.Value(), 0);
}

struct ColourCase {
  double value;
  uint32_t colour;
};

class ThresholdColourTest : public testing::TestWithParam<ColourCase> {};

TEST_P(ThresholdColourTest, FollowsTheThresholds) {
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, GetParam().value, 50.0, 80.0);
  Surface s(200, 50);
  DeviceContext dc(&s);
  bar.Draw(dc);
  EXPECT_EQ(FillOf(s).colour, GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Values, ThresholdColourTest,
                         testing::Values(ColourCase{10, kRed}, ColourCase{49.9, kRed}, ColourCase{50, kYellow},
                                         ColourCase{79.9, kYellow}, ColourCase{80, kGreen},
                                         ColourCase{100, kGreen}));

uint32_t ColourAt(ProgressBar& bar, double value) {
  bar.SetValue(value);
  Surface s(200, 50);
  DeviceContext dc(&s);
  bar.Draw(dc);
  return FillOf(s).colour;
}

TEST(ProgressBarTest, ThresholdsThatBreakTheirOrderAreRefused) {
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar.SetHighThreshold(120);  // above the maximum
  EXPECT_EQ(ColourAt(bar, 85), kGreen);
  bar.SetLowThreshold(90);  // above the high threshold
  EXPECT_EQ(ColourAt(bar, 60), kYellow);
  bar.SetLowThreshold(100);  // not below the maximum
  EXPECT_EQ(ColourAt(bar, 60), kYellow);
  bar.SetHighThreshold(100);  // equal to the maximum is fine
  EXPECT_EQ(ColourAt(bar, 85), kYellow);
  bar.SetLowThreshold(20);
  EXPECT_EQ(ColourAt(bar, 30), kYellow);
  EXPECT_EQ(ColourAt(bar, 15), kRed);
}

TEST(ProgressBarTest, ConstructorSetsHighThresholdBeforeLow) {
  // Low 50 is checked against the high threshold already set to 80.
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, 60.0, 50.0, 80.0);
  EXPECT_EQ(ColourAt(bar, 60), kYellow);
}

TEST(ProgressBarTest, FixedFillColourIgnoresTheThresholds) {
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar.SetFillColor(RGB(1, 2, 3));
  EXPECT_EQ(ColourAt(bar, 10), RGB(1, 2, 3));
  EXPECT_EQ(ColourAt(bar, 90), RGB(1, 2, 3));
}

struct InsetCase {
  int inset;
  int expected;
};

class InsetTest : public testing::TestWithParam<InsetCase> {};

TEST_P(InsetTest, TooLargeAnInsetBecomesZero) {
  ProgressBar bar(10, 10, 100, 25, 0, 0.0, 100.0, 100.0, 50.0, 80.0);
  bar.SetInset(GetParam().inset);
  Surface s(200, 60);
  DeviceContext dc(&s);
  bar.Draw(dc);
  const int m = GetParam().expected;
  const int height = 25 - 2 * m - 1;  // inset 12 leaves a fill 0 pixels high
  const Rect expected{10 + m + 1, 10 + m + 1, 10 + m + 1 + (100 - 2 * m) - 1, 10 + m + 1 + height};
  EXPECT_EQ(FillOf(s).area, height > 0 ? expected : Rect{});
}

INSTANTIATE_TEST_SUITE_P(Insets, InsetTest,
                         testing::Values(InsetCase{0, 0}, InsetCase{2, 2}, InsetCase{12, 12}, InsetCase{13, 0}));

TEST(ProgressBarTest, DegenerateRangesFillNothing) {
  Surface s(200, 60);
  DeviceContext dc(&s);
  ProgressBar empty(10, 10, 100, 25, 0, 50.0, 50.0, 50.0, 50.0, 80.0);
  empty.Draw(dc);
  ProgressBar narrow(10, 10, 4, 25, 2, 0.0, 100.0, 100.0, 50.0, 80.0);
  narrow.Draw(dc);
  EXPECT_EQ(FillOf(s).area, Rect{});
}

TEST(ProgressBarTest, ValueLeftOutsideANarrowedRangeFillsAtMostTheInside) {
  ProgressBar bar(10, 10, 100, 25, 0, 0.0, 100.0, 100.0, 50.0, 80.0);
  bar.SetMaximum(10.0);  // stored without a check; the value stays 100
  Surface s(200, 60);
  DeviceContext dc(&s);
  bar.Draw(dc);
  EXPECT_EQ(FillOf(s).area.right, 110);
}

TEST(ProgressBarTest, ValueMaySetWhileTheBarIsDrawn) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  std::thread run([&bar] {
    for (int percent = 0; percent <= 100; ++percent) bar.SetValue(percent);
  });
  Surface s(480, 640);
  DeviceContext dc(&s);
  for (int i = 0; i < 50; ++i) bar.Draw(dc);
  run.join();
  EXPECT_EQ(bar.Value(), 100);
}

}  // namespace
