#pragma once

#include <string>

#include "graphics/Rect.h"

// Where a message box over the full-screen main window stands, measured as
// the box measures itself: 400 wide, its body broken 300 pixels wide in
// Arial 22, 200 more for title and buttons, centred 50 pixels above middle.
class BoxGeometry {
 public:
  explicit BoxGeometry(const std::string& bodyText);

  const Rect& Frame() const { return frame_; }
  // The centre of a button counted from the right (0: OK alone, YES in a
  // YES/NO box; 1: NO).
  int ButtonX(int fromRight) const { return frame_.left + 400 - 67 - 66 * fromRight + 32; }
  int ButtonY() const { return frame_.bottom - 67 + 32; }

 private:
  Rect frame_;
};
