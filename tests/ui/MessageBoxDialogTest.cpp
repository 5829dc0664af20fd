#include "ui/MessageBoxDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>

#include "HeadlessScreen.h"
#include "PollUntil.h"

namespace {

// A box that says when it is up.
class ObservedBox : public MessageBoxDialog {
 public:
  std::atomic<bool> shown = false;

  std::string Pressed() const { return PressedButton ? PressedButton->Name() : "none"; }

 protected:
  bool OnInitDialog() override {
    bool result = MessageBoxDialog::OnInitDialog();
    shown = true;
    return result;
  }
};

class MessageBoxDialogTest : public testing::Test {
 protected:
  // Runs the box on this thread and script from another once the box is up.
  int RunBox(ObservedBox& box, const std::function<void()>& script) {
    return screen.RunScripted(box, [&] {
      ASSERT_TRUE(PollUntil([&] { return box.shown.load(); }, 5000));
      script();
    });
  }
  // Touches the box at its client coordinates; y counts up from its bottom edge.
  void Touch(const ObservedBox& box, int x, int fromBottom) {
    Rect place = box.GetWindowRect();
    screen.Control().Touch(place.left + x, place.bottom - 1 - fromBottom);
  }

  HeadlessScreen screen;
};

// A body too long for the screen is cut so that the box and its buttons stay
// on it. Buttons stand from the right, 66 apart; the gap between two belongs
// to the left one. Touch x at the top of the button row, button pressed.
class ButtonTouchTest : public MessageBoxDialogTest, public testing::WithParamInterface<std::tuple<int, std::string>> {};

TEST_P(ButtonTouchTest, PressesTheButtonUnderTheTouchOfABoxOnTheScreen) {
  const auto& [x, name] = GetParam();
  ObservedBox box;
  box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
  for (int i = 0; i < 400; ++i) box.text += "overflowing ";
  RunBox(box, [&, x = x] {
    EXPECT_GE(box.GetWindowRect().top, 0);
    EXPECT_LE(box.GetWindowRect().bottom, 640);
    Touch(box, x, 67);
  });
  EXPECT_EQ(box.Pressed(), name);
}

INSTANTIATE_TEST_SUITE_P(Masks, ButtonTouchTest, testing::Values(std::tuple{333, "yes"}, std::tuple{332, "no"}),
                         [](const auto& info) { return std::get<1>(info.param); });

}  // namespace
