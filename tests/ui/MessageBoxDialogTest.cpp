#include "ui/MessageBoxDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A box laid out as DoModal lays it out, then touched where the window
// manager would hand the touch on, in client coordinates.
class TouchedBox : public MessageBoxDialog {
 public:
  using MessageBoxDialog::OnInitDialog;
  std::string Touch(int x, int y) {
    OnLButtonDown(x, y);
    return PressedButton ? PressedButton->Name() : "none";
  }
};

// A body too long for the screen is cut so that the box and its buttons stay
// on it. Buttons stand from the right, 66 apart; the gap between two belongs
// to the left one. Touches at the top of the button row.
TEST(MessageBoxDialogTest, PressesTheButtonUnderTheTouchOfABoxOnTheScreen) {
  setenv("LUMEN_DISPLAY", "headless", 1);
  TouchedBox box;
  box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
  for (int i = 0; i < 400; ++i) box.text += "overflowing ";
  box.OnInitDialog();
  const Rect place = box.GetWindowRect();
  EXPECT_GE(place.top, 0);
  EXPECT_LE(place.bottom, 640);
  const int buttonTop = place.bottom - place.top - 1 - 67;
  EXPECT_EQ(box.Touch(333, buttonTop), "yes");
  EXPECT_EQ(box.Touch(332, buttonTop), "no");
}

}  // namespace
