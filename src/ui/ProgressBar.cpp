#include "ui/ProgressBar.h"

#include <cmath>

ProgressBar::ProgressBar(int x, int y, int width, int height, int inset, double minimum, double maximum,
                         double value, double lowThreshold, double highThreshold)
    : x_(x), y_(y), width_(width), height_(height), minimum_(minimum), maximum_(maximum) {
  SetValue(value);
  SetHighThreshold(highThreshold);
  SetLowThreshold(lowThreshold);
  SetInset(inset);
}

void ProgressBar::SetPosition(int x, int y) {
  x_ = x;
  y_ = y;
}

void ProgressBar::SetSize(int height, int width) {
  height_ = height;
  width_ = width;
}

// A value that is not a number counts as the minimum.
void ProgressBar::SetValue(double v) { value_ = v > maximum_ ? maximum_ : v >= minimum_ ? v : minimum_; }

void ProgressBar::SetHighThreshold(double v) {
  if (v <= maximum_) highThreshold_ = v;
}

void ProgressBar::SetLowThreshold(double v) {
  if (v < maximum_ && v < highThreshold_) lowThreshold_ = v;
}

void ProgressBar::SetInset(int m) { inset_ = height_ - 2 * m < 1 ? 0 : m; }

void ProgressBar::SetFillColor(uint32_t colour) {
  fillColour_ = colour;
  thresholdColouring_ = false;
}

Rect ProgressBar::Draw(DeviceContext& dc) const {
  dc.MoveTo(x_, y_);
  dc.LineTo(x_ + width_, y_);
  dc.LineTo(x_ + width_, y_ + height_);
  dc.LineTo(x_, y_ + height_);
  dc.LineTo(x_, y_);
  const int fill = FillWidth();
  if (fill >= 1) {
    const int left = x_ + inset_ + 1;
    const int top = y_ + inset_ + 1;
    dc.FillSolidRect({left, top, left + fill, top + height_ - 2 * inset_ - 1}, FillColour());
  }
  return {x_, y_, x_ + width_, y_ + height_};
}

// Extended precision, as the console computes it: 75 % of 316 pixels must
// give 237 - 1, where 64-bit arithmetic falls just short of 237. A range or
// inner width of zero fills nothing.
int ProgressBar::FillWidth() const {
  const int inner = width_ - 2 * inset_;
  const long double range = std::fabs(static_cast<long double>(maximum_) - minimum_);
  if (inner <= 0 || !(range > 0)) return 0;
  const long double scale = range / inner;
  const long double pixels = std::fabs(static_cast<long double>(value_.load()) - minimum_) / scale;
  if (!(pixels < inner)) return inner - 1;  // also a value left outside a later-narrowed range
  return static_cast<int>(pixels) - 1;
}

uint32_t ProgressBar::FillColour() const {
  if (!thresholdColouring_) return fillColour_;
  const double value = value_.load();
  if (value < lowThreshold_) return RGB(255, 0, 0);
  if (value < highThreshold_) return RGB(255, 255, 0);
  return RGB(0, 255, 0);
}
