#pragma once

#include <memory>
#include <string>

#include "graphics/Surface.h"

class ControlChannel;

// The console's screen size; every display shows exactly this frame.
constexpr int kScreenWidth = 480;
constexpr int kScreenHeight = 640;

// One thing the screen or the control channel asks of the program.
struct InputEvent {
  enum Kind { kNone, kTouch, kScreenshot };
  Kind kind = kNone;
  int x = 0;  // kTouch: screen coordinates, not clipped to the screen
  int y = 0;
  std::string path;  // kScreenshot: where the PNG goes
};

// Where the composed frame is shown and touches come from. Everything but
// Wake runs on the user-interface thread.
class Display {
 public:
  Display();
  virtual ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // The backend named by LUMEN_DISPLAY ("sdl" or "headless"; by default sdl
  // when a display server is announced), with the control FIFO of
  // LUMEN_CONTROL when set. An sdl display that cannot open falls back to
  // headless.
  static std::unique_ptr<Display> FromEnvironment();

  // Shows a kScreenWidth x kScreenHeight frame.
  virtual void Present(const Surface& frame) = 0;
  // Blocks until there is input or a Wake; kNone after a Wake.
  virtual InputEvent WaitForInput() = 0;
  // Any thread: makes a pending or the next WaitForInput return.
  virtual void Wake() = 0;

  // Adds the scripted input; a channel that failed to open is dropped.
  void SetControl(std::unique_ptr<ControlChannel> control);

 protected:
  std::unique_ptr<ControlChannel> control_;
};
