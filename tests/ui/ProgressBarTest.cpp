#include <gtest/gtest.h>

#include <memory>

#include "RowName.h"
#include "ui/ProgressBar.h"

namespace {

constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kBlue = RGB(0, 0, 255);

// The main screen's bar, set up as the main screen does: 320 x 25 at (76, 565), inset 2, blue.
std::unique_ptr<ProgressBar> MainScreenBar() {
  auto bar = std::make_unique<ProgressBar>(0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0);
  bar->SetSize(25, 320);
  bar->SetPosition(76, 565);
  bar->SetInset(2);
  bar->SetFillColor(kBlue);
  return bar;
}

// The bounding box of the blue pixels; empty when none. Black must be the
// outline, all of it and nothing else.
Rect DrawnFill(ProgressBar& bar, Surface& s) {
  DeviceContext dc(&s);
  bar.Draw(dc);
  Rect fill{s.Width(), s.Height(), 0, 0};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const uint32_t p = s.Pixel(x, y);
      const bool outline = (x == 76 || x == 396) ? y >= 565 && y <= 590 : (y == 565 || y == 590) && x > 76 && x < 396;
      EXPECT_EQ(p == kBlack, outline) << x << "," << y;
      if (p != kBlue) continue;
      fill = {std::min(fill.left, x), std::min(fill.top, y), std::max(fill.right, x + 1), std::max(fill.bottom, y + 1)};
    }
  return fill.left < fill.right ? fill : Rect{};
}

struct WidthCase {
  const char* name;
  double value;
  int width;
};

class FillWidthTest : public testing::TestWithParam<WidthCase> {};

// The fill grows from one pixel inside the inset and never past it.
TEST_P(FillWidthTest, FillStaysInsideTheFrame) {
  auto bar = MainScreenBar();
  bar->SetValue(GetParam().value);
  Surface s(480, 640);
  const Rect expected{79, 568, 79 + GetParam().width, 588};
  EXPECT_EQ(DrawnFill(*bar, s), GetParam().width ? expected : Rect{});
}

// Extended precision matters at 75: 64-bit arithmetic would give 235.
INSTANTIATE_TEST_SUITE_P(Values, FillWidthTest,
                         testing::Values(WidthCase{"Zero", 0, 0}, WidthCase{"Half", 0.5, 0}, WidthCase{"One", 1, 2},
                                         WidthCase{"SeventyFive", 75, 236}, WidthCase{"Hundred", 100, 315},
                                         WidthCase{"PastHundred", 150, 315}, WidthCase{"Negative", -5, 0}),
                         RowName());

}  // namespace
