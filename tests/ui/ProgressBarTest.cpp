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

// The main screen's bar, set up as the main screen does: 320 x 25 at (76, 565), inset 2, blue.
std::unique_ptr<ProgressBar> MainScreenBar() {
  auto bar = std::make_unique<ProgressBar>(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar->SetSize(25, 320);
  bar->SetPosition(76, 565);
  bar->SetInset(2);
  bar->SetFillColor(kBlue);
  return bar;
}

struct Fill {
  Rect area;  // bounding box of the pixels that are neither white nor black; empty when none
  uint32_t colour = kWhite;
};

Fill Draw(const ProgressBar& bar, Surface& s) {
  DeviceContext dc(&s);
  bar.Draw(dc);
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

Fill Draw(ProgressBar& bar, double value) {
  bar.SetValue(value);
  Surface s(480, 640);
  return Draw(bar, s);
}

struct WidthCase {
  double value;
  int width;
};

class FillWidthTest : public testing::TestWithParam<WidthCase> {};

TEST_P(FillWidthTest, FillGrowsFromOnePixelInsideTheInset) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  const Fill fill = Draw(bar, GetParam().value);
  const Rect expected{79, 568, 79 + GetParam().width, 588};
  EXPECT_EQ(fill.area, GetParam().width ? expected : Rect{});
  if (GetParam().width) {
    EXPECT_EQ(fill.colour, kBlue);
  }
}

// Extended precision matters at 75: 64-bit arithmetic would give 235.
INSTANTIATE_TEST_SUITE_P(Values, FillWidthTest,
                         testing::Values(WidthCase{100, 315}, WidthCase{75, 236}, WidthCase{50, 157}, WidthCase{10, 30},
                                         WidthCase{1, 2}, WidthCase{0.5, 0}, WidthCase{0, 0}, WidthCase{150, 315},
                                         WidthCase{-5, 0}));

TEST(ProgressBarTest, EveryWholePercentFillsItsShareOf316LessOne) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  for (int percent = 1; percent <= 100; ++percent) {
    EXPECT_EQ(Draw(bar, percent).area.Width(), std::max(0, percent * 316 / 100 - 1)) << percent;
  }
}

TEST(ProgressBarTest, OutlineIsDrawnWithTheCurrentPenAndClosesAllFourCorners) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  Surface s(480, 640);
  DeviceContext dc(&s);
  EXPECT_EQ(bar.Draw(dc), (Rect{76, 565, 396, 590}));
  for (int x = 76; x <= 396; ++x) EXPECT_TRUE(s.Pixel(x, 565) == kBlack && s.Pixel(x, 590) == kBlack) << x;
  for (int y = 565; y <= 590; ++y) EXPECT_TRUE(s.Pixel(76, y) == kBlack && s.Pixel(396, y) == kBlack) << y;
  EXPECT_TRUE(s.Pixel(77, 566) == kWhite && s.Pixel(397, 591) == kWhite);
}

TEST(ProgressBarTest, ValuesAreClamped) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  for (auto [value, kept] : {std::pair{150.0, 100.0}, {-5.0, 0.0}, {42.5, 42.5}, {std::nan(""), 0.0}}) {
    bar.SetValue(value);
    EXPECT_EQ(bar.Value(), kept) << value;
  }
}

struct ColourCase {
  double value;
  uint32_t colour;
};

class ThresholdColourTest : public testing::TestWithParam<ColourCase> {};

// The constructor takes the high threshold first, or low 50 would be refused.
TEST_P(ThresholdColourTest, FollowsTheThresholds) {
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, 0.0, 50.0, 80.0);
  EXPECT_EQ(Draw(bar, GetParam().value).colour, GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Values, ThresholdColourTest,
                         testing::Values(ColourCase{10, kRed}, ColourCase{49.9, kRed}, ColourCase{50, kYellow},
                                         ColourCase{79.9, kYellow}, ColourCase{80, kGreen}, ColourCase{100, kGreen}));

TEST(ProgressBarTest, ThresholdsThatBreakTheirOrderAreRefused) {
  ProgressBar bar(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar.SetHighThreshold(120);  // above the maximum
  EXPECT_EQ(Draw(bar, 85).colour, kGreen);
  bar.SetLowThreshold(90);  // above the high threshold
  EXPECT_EQ(Draw(bar, 60).colour, kYellow);
  bar.SetLowThreshold(100);  // not below the maximum
  EXPECT_EQ(Draw(bar, 60).colour, kYellow);
  bar.SetHighThreshold(100);  // equal to the maximum is fine
  EXPECT_EQ(Draw(bar, 85).colour, kYellow);
  bar.SetLowThreshold(20);
  EXPECT_EQ(Draw(bar, 30).colour, kYellow);
  EXPECT_EQ(Draw(bar, 15).colour, kRed);
  bar.SetFillColor(RGB(1, 2, 3));  // a fixed colour: the thresholds no longer matter
  EXPECT_EQ(Draw(bar, 15).colour, RGB(1, 2, 3));
  EXPECT_EQ(Draw(bar, 90).colour, RGB(1, 2, 3));
}

struct InsetCase {
  int inset;
  Rect fill;
};

class InsetTest : public testing::TestWithParam<InsetCase> {};

TEST_P(InsetTest, InsetThatLeavesNoFillBecomesZero) {
  ProgressBar bar(10, 10, 100, 25, 0, 0.0, 100.0, 100.0, 50.0, 80.0);
  bar.SetInset(GetParam().inset);
  EXPECT_EQ(Draw(bar, 100).area, GetParam().fill);
}

INSTANTIATE_TEST_SUITE_P(Insets, InsetTest,
                         testing::Values(InsetCase{0, {11, 11, 110, 35}}, InsetCase{2, {13, 13, 108, 33}},
                                         InsetCase{12, {}},  // the fill is 0 pixels high
                                         InsetCase{13, {11, 11, 110, 35}}));

TEST(ProgressBarTest, DegenerateRangesFillNothingAndANarrowedRangeAtMostTheInside) {
  ProgressBar empty(10, 10, 100, 25, 0, 50.0, 50.0, 50.0, 50.0, 80.0);
  ProgressBar narrow(10, 10, 4, 25, 2, 0.0, 100.0, 100.0, 50.0, 80.0);
  EXPECT_EQ(Draw(empty, 50).area, Rect{});
  EXPECT_EQ(Draw(narrow, 100).area, Rect{});
  ProgressBar bar(10, 10, 100, 25, 0, 0.0, 100.0, 100.0, 50.0, 80.0);
  bar.SetMaximum(10.0);  // stored without a check; the value stays 100
  Surface s(200, 60);
  EXPECT_EQ(Draw(bar, s).area.right, 110);
}

TEST(ProgressBarTest, ValueMayBeSetWhileTheBarIsDrawn) {
  const auto owner = MainScreenBar();
  ProgressBar& bar = *owner;
  std::thread run([&bar] {
    for (int percent = 0; percent <= 100; ++percent) bar.SetValue(percent);
  });
  Surface s(480, 640);
  for (int i = 0; i < 50; ++i) Draw(bar, s);
  run.join();
  EXPECT_EQ(bar.Value(), 100);
}

}  // namespace
