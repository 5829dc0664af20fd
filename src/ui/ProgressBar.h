#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/DeviceContext.h"

// The horizontal bar that shows how far a programming run has got: an outline
// in the current pen and a fill from the left proportional to the value,
// either in one colour or red, yellow, green by two thresholds. Not a widget:
// its owner draws it after its widgets. The programming run sets the value
// while the screen draws, so the value is atomic.
class ProgressBar {
 public:
  ProgressBar(int x, int y, int width, int height, int inset, double minimum, double maximum, double value,
              double lowThreshold, double highThreshold);

  void SetPosition(int x, int y);
  void SetSize(int height, int width);  // height first
  void SetMinimum(double v) { minimum_ = v; }
  void SetMaximum(double v) { maximum_ = v; }
  // Clamps v into [minimum, maximum].
  void SetValue(double v);
  double Value() const { return value_.load(); }
  // Taken only when v <= maximum.
  void SetHighThreshold(double v);
  // Taken only when v < maximum and v < the high threshold.
  void SetLowThreshold(double v);
  // 0 instead when the fill would be less than 1 pixel high.
  void SetInset(int m);
  // A fixed fill colour; the thresholds no longer matter.
  void SetFillColor(uint32_t colour);

  Rect Draw(DeviceContext& dc) const;

 private:
  int FillWidth() const;
  uint32_t FillColour() const;

  int x_;
  int y_;
  int width_;
  int height_;
  int inset_ = 0;
  double minimum_;
  double maximum_;
  std::atomic<double> value_{0.0};
  double lowThreshold_ = 0.0;
  double highThreshold_ = 0.0;
  uint32_t fillColour_ = RGB(255, 0, 0);
  bool thresholdColouring_ = true;
};
