#include "ui/MessageBoxDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>

#include "HeadlessScreen.h"
#include "system/Event.h"

namespace {

constexpr uint32_t kGrey = RGB(128, 128, 128);

// A box that says when it is up and counts its paints.
class ObservedBox : public MessageBoxDialog {
 public:
  Event shown{"shown"};
  std::atomic<int> paints{0};

  std::string Pressed() const { return PressedButton ? PressedButton->Name() : "none"; }

 protected:
  bool OnInitDialog() override {
    bool result = MessageBoxDialog::OnInitDialog();
    shown.Set();
    return result;
  }
  void OnPaint(DeviceContext& dc) override {
    MessageBoxDialog::OnPaint(dc);
    ++paints;
  }
};

// A plain grey main window of 460 x 600 at (10, 20).
class MainWindow : public Dialog {
 protected:
  bool OnInitDialog() override {
    MoveWindow(10, 20, 460, 600);
    return true;
  }
  void OnPaint(DeviceContext& dc) override { dc.FillSolidRect(Rect{0, 0, 480, 640}, kGrey); }
};

class MessageBoxDialogTest : public testing::Test {
 protected:
  // Runs the box on this thread and script from another once the box is up.
  int RunBox(ObservedBox& box, const std::function<void()>& script) {
    return screen.RunScripted(box, [&] {
      ASSERT_TRUE(box.shown.Wait(5000));
      script();
    });
  }
  // Touches the box at its client coordinates; y counts up from its bottom edge.
  void Touch(const ObservedBox& box, int x, int fromBottom) {
    Rect place = box.GetWindowRect();
    screen.Control().Touch(place.left + x, place.bottom - 1 - fromBottom);
  }
  void Sync() { screen.Control().Screenshot(screen.Path("shot.png")); }  // every earlier line has been handled

  HeadlessScreen screen;
};

// Button mask, touch x at the top of the button row, button pressed.
class ButtonTouchTest : public MessageBoxDialogTest, public testing::WithParamInterface<std::tuple<int, int, std::string>> {};

TEST_P(ButtonTouchTest, PressesTheButtonUnderTheTouch) {
  auto [mask, x, name] = GetParam();
  ObservedBox box;
  box.buttons = mask;
  RunBox(box, [&] { Touch(box, x, 67); });
  EXPECT_EQ(box.Pressed(), name);
}

// Buttons stand from the right, 66 apart; the gap between two belongs to the left one.
INSTANTIATE_TEST_SUITE_P(Masks, ButtonTouchTest,
                         testing::Values(std::tuple{1, 333, "ok"},
                                         std::tuple{12, 333, "yes"}, std::tuple{12, 267, "no"},
                                         std::tuple{12, 332, "no"}, std::tuple{15, 333, "cancel"},
                                         std::tuple{15, 267, "ok"}, std::tuple{15, 201, "yes"},
                                         std::tuple{15, 135, "no"}));

TEST_F(MessageBoxDialogTest, TouchesOnTheLabelsRepaintAndTouchesOnNothingPressNothing) {
  ObservedBox box;
  box.title = "WARNING";
  box.text = "Please cycle power to the node.";
  box.buttons = 0;
  int paintsForLabels = 0;
  int result = RunBox(box, [&] {
    Sync();  // the box has been painted once
    int paintsBefore = box.paints;
    Touch(box, 200, box.GetWindowRect().Height() - 81);  // the body text
    Touch(box, 200, box.GetWindowRect().Height() - 13);  // the title
    for (int x = 5; x < 400; x += 30) Touch(box, x, 40);  // where buttons would be
    Sync();
    paintsForLabels = box.paints - paintsBefore;
    box.EndDialog(5);
  });
  EXPECT_EQ(paintsForLabels, 2);
  EXPECT_EQ(result, 5);
  EXPECT_EQ(box.Pressed(), "none");
}

TEST_F(MessageBoxDialogTest, IsDrawnFramedOverTheMovedMainWindowFromAWorker) {
  MainWindow main;
  ObservedBox box;
  box.title = "ERROR!!!";
  box.text = "Node not responding";
  box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
  Rect place;
  Surface shot(0, 0);
  screen.RunScripted(main, [&] {
    std::thread worker([&] { box.DoModal(); });
    ASSERT_TRUE(box.shown.Wait(5000));
    place = box.GetWindowRect();
    shot = screen.Control().Screenshot(screen.Path("box.png")).value_or(Surface(0, 0));
    Touch(box, 340, 59);
    worker.join();
    main.EndDialog(0);
  });
  EXPECT_EQ(box.Pressed(), "yes");
  // Where it stands over the whole screen, moved along with the main window by (10, 20).
  int top = (640 - place.Height() + 1) / 2 - 50 + 20;
  EXPECT_EQ(place, (Rect{50, top, 451, top + place.Height()}));
  int left = place.left, right = left + 400, bottom = place.bottom - 1;
  for (auto [x, y, colour] : {std::tuple{left, top, RGB(0, 0, 0)}, {right, top, RGB(0, 0, 0)},
                              {left, bottom, RGB(0, 0, 0)}, {right, bottom, RGB(0, 0, 0)}, {left - 1, top, kGrey},
                              {right + 1, bottom, kGrey}, {left + 1, top + 1, RGB(255, 255, 255)}})
    EXPECT_EQ(shot.Pixel(x, y), colour) << x << "," << y;
  auto count = [&](int x0, int y0, int x1, int y1, bool wantRed) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        uint32_t c = shot.Pixel(x, y);
        n += GreenOf(c) < 80 && BlueOf(c) < 80 && (wantRed ? RedOf(c) > 200 : RedOf(c) < 80);
      }
    return n;
  };
  EXPECT_GT(count(left + 1, top + 7, right, top + 30, true), 20) << "title";
  EXPECT_GT(count(left + 50, top + 75, right - 50, top + 97, false), 20) << "body";
  EXPECT_GT(count(left + 267, bottom - 67, left + 397, bottom - 3, true), 20) << "captions";
  EXPECT_EQ(count(left + 1, top + 100, right, bottom - 70, false) + count(left + 1, top + 100, right, bottom - 70, true),
            0)
      << "nothing between body and buttons";
}

TEST_F(MessageBoxDialogTest, ALongBodyIsCutSoThatTheBoxStaysOnTheScreen) {
  ObservedBox box;
  for (int i = 0; i < 400; ++i) box.text += "overflowing ";
  RunBox(box, [&] {
    EXPECT_GE(box.GetWindowRect().top, 0);
    EXPECT_LE(box.GetWindowRect().bottom, 640);
    Touch(box, 340, 59);
  });
  EXPECT_EQ(box.Pressed(), "ok");
}

}  // namespace
