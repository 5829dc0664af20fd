#include "ui/MessageBoxDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "HeadlessScreen.h"
#include "platform/Event.h"

namespace {

constexpr uint32_t kGrey = RGB(128, 128, 128);

// A box that says when it is up and counts its paints.
class ObservedBox : public MessageBoxDialog {
 public:
  Event shown{"shown"};
  std::atomic<int> paints{0};

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

// A plain grey main window somewhere on the screen.
class MainWindow : public Dialog {
 public:
  explicit MainWindow(Rect place) : place_(place) {}

 protected:
  bool OnInitDialog() override {
    MoveWindow(place_.left, place_.top, place_.Width(), place_.Height());
    return true;
  }
  void OnPaint(DeviceContext& dc) override { dc.FillSolidRect(Rect{0, 0, 480, 640}, kGrey); }

 private:
  Rect place_;
};

std::string PressedName(const MessageBoxDialog& box) { return box.PressedButton ? box.PressedButton->Name() : "none"; }

class MessageBoxDialogTest : public testing::Test {
 protected:
  // Runs the box on this thread; touch gets the box's client coordinates,
  // once the box is up.
  void RunBox(ObservedBox& box, const std::function<void(const Rect& place)>& script) {
    screen.RunScripted(box, [&] {
      ASSERT_TRUE(box.shown.Wait(5000));
      script(box.GetWindowRect());
    });
  }
  void Touch(const Rect& place, int x, int y) { screen.Control().Touch(place.left + x, place.top + y); }

  HeadlessScreen screen;
};

struct ButtonRow {
  uint32_t mask;
  std::vector<std::pair<const char*, int>> fromTheRight;  // name and left edge
};

class ButtonRowTest : public MessageBoxDialogTest, public testing::WithParamInterface<ButtonRow> {};

TEST_P(ButtonRowTest, ButtonsStandAlongTheBottomFromTheRight) {
  for (const auto& [name, left] : GetParam().fromTheRight) {
    ObservedBox box;
    box.buttons = GetParam().mask;
    box.text = "Try again?";
    int x = left + 1;  // just inside the top-left corner
    RunBox(box, [&](const Rect& place) { Touch(place, x, place.Height() - 1 - 67); });
    EXPECT_EQ(PressedName(box), name) << "mask " << GetParam().mask << ", left edge " << left;
  }
}

INSTANTIATE_TEST_SUITE_P(Masks, ButtonRowTest,
                         testing::Values(ButtonRow{MessageBoxDialog::ButtonOk, {{"ok", 333}}},
                                         ButtonRow{MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo,
                                                   {{"yes", 333}, {"no", 267}}},
                                         ButtonRow{15, {{"cancel", 333}, {"ok", 267}, {"yes", 201}, {"no", 135}}}));

TEST_F(MessageBoxDialogTest, TheGapBetweenTwoButtonsBelongsToTheLeftOne) {
  for (const auto& [x, name] : std::vector<std::pair<int, std::string>>{{332, "no"}, {333, "yes"}}) {
    ObservedBox box;
    box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
    int touchX = x;
    RunBox(box, [&](const Rect& place) { Touch(place, touchX, place.Height() - 1 - 40); });
    EXPECT_EQ(PressedName(box), name) << "x " << x;
  }
}

TEST_F(MessageBoxDialogTest, TouchesBesideTheButtonsRepaintOrDoNothingAndKeepTheBoxOpen) {
  ObservedBox box;
  box.title = "WARNING";
  box.text = "Please cycle power to the node.";
  int paintsAfterBody = 0;
  RunBox(box, [&](const Rect& place) {
    screen.Control().Screenshot(screen.Path("shot.png"));  // the box has been painted once
    int paintsBefore = box.paints;
    Touch(place, 200, 80);  // the body text
    Touch(place, 200, 12);  // the title
    Touch(place, 10, place.Height() - 10);  // blank
    screen.Control().Screenshot(screen.Path("shot.png"));
    paintsAfterBody = box.paints - paintsBefore;
    Touch(place, 340, place.Height() - 60);
  });
  EXPECT_EQ(paintsAfterBody, 2);
  EXPECT_EQ(PressedName(box), "ok");
}

TEST_F(MessageBoxDialogTest, ABoxWithoutButtonsIsLeftOnlyThroughEndDialog) {
  ObservedBox box;
  box.buttons = 0;
  RunBox(box, [&](const Rect& place) {
    for (int x = 5; x < 400; x += 30) Touch(place, x, place.Height() - 40);
    screen.Control().Screenshot(screen.Path("shot.png"));  // every touch has been handled
    box.EndDialog(5);
  });
  EXPECT_EQ(PressedName(box), "none");
}

TEST_F(MessageBoxDialogTest, IsDrawnFramedOverTheMainWindowFromAWorker) {
  MainWindow main(Rect{10, 20, 470, 620});
  ObservedBox box;
  box.title = "ERROR!!!";
  box.text = "Node not responding";
  box.buttons = MessageBoxDialog::ButtonYes | MessageBoxDialog::ButtonNo;
  Rect place;
  std::optional<Surface> shot;
  screen.RunScripted(main, [&] {
    std::thread worker([&] { box.DoModal(); });
    ASSERT_TRUE(box.shown.Wait(5000));
    place = box.GetWindowRect();
    shot = screen.Control().Screenshot(screen.Path("box.png"));
    Touch(place, 340, place.Height() - 60);
    worker.join();
    screen.Control().Touch(479, 639);
  });
  EXPECT_EQ(PressedName(box), "yes");
  int height = place.Height() - 1;
  EXPECT_EQ(place, (Rect{50, (640 - height) / 2 - 50 + 20, 50 + 401, (640 - height) / 2 - 50 + 20 + height + 1}));
  ASSERT_TRUE(shot);
  const Surface& s = *shot;
  int left = place.left, top = place.top, right = left + 400, bottom = top + height;
  for (auto [x, y] : std::vector<std::pair<int, int>>{{left, top}, {right, top}, {left, bottom}, {right, bottom}})
    EXPECT_EQ(s.Pixel(x, y), RGB(0, 0, 0)) << x << "," << y;
  EXPECT_EQ(s.Pixel(left - 1, top), kGrey);
  EXPECT_EQ(s.Pixel(right + 1, bottom), kGrey);
  EXPECT_EQ(s.Pixel(left + 1, top + 1), RGB(255, 255, 255));
  auto count = [&](int x0, int y0, int x1, int y1, auto predicate) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += predicate(s.Pixel(x, y)) ? 1 : 0;
    return n;
  };
  auto red = [](uint32_t c) { return RedOf(c) > 200 && GreenOf(c) < 80 && BlueOf(c) < 80; };
  auto dark = [](uint32_t c) { return RedOf(c) < 80 && GreenOf(c) < 80 && BlueOf(c) < 80; };
  EXPECT_GT(count(left + 1, top + 7, right, top + 30, red), 20) << "title";
  EXPECT_GT(count(left + 50, top + 75, right - 50, top + 97, dark), 20) << "body";
  EXPECT_GT(count(left + 267, bottom - 67, left + 397, bottom - 3, red), 20) << "captions";
  EXPECT_EQ(count(left + 1, top + 100, right, bottom - 70, dark) + count(left + 1, top + 100, right, bottom - 70, red),
            0)
      << "nothing between body and buttons";
}

TEST_F(MessageBoxDialogTest, ALongBodyIsCutSoThatTheBoxStaysOnTheScreen) {
  ObservedBox box;
  for (int i = 0; i < 400; ++i) box.text += "overflowing ";
  RunBox(box, [&](const Rect& place) {
    EXPECT_GE(place.top, 0);
    EXPECT_LE(place.bottom, 640);
    screen.Control().Screenshot(screen.Path("shot.png"));
    Touch(place, 340, place.Height() - 60);
  });
  EXPECT_EQ(PressedName(box), "ok");
}

}  // namespace
