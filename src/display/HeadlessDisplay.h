#pragma once

#include "display/Display.h"

// No screen at all: the frame lives only in the window manager (screenshots
// come from there), and the only input is the control channel, if any.
// Waiting is a poll on the channel and on an eventfd that Wake signals, so an
// idle program sleeps.
class HeadlessDisplay final : public Display {
 public:
  HeadlessDisplay();
  ~HeadlessDisplay() override;

  void Present(const Surface& frame) override;
  InputEvent WaitForInput() override;
  void Wake() override;

 private:
  int wakeFd_;
};
