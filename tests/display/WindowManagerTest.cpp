#include "display/WindowManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "HeadlessScreen.h"
#include "display/Dialog.h"
#include "system/Event.h"

namespace {

using Points = std::vector<std::pair<int, int>>;

constexpr uint32_t kBlue = RGB(0, 0, 255);
constexpr uint32_t kMarker = RGB(255, 0, 0);

// A window in one colour that marks every touch with a 6 x 6 red square and
// ends with 7 when touched in the 20 x 20 corner at its bottom right.
class TestWindow : public Dialog {
 public:
  explicit TestWindow(uint32_t colour = kBlue, Rect place = {0, 0, 480, 640}) : colour_(colour), place_(place) {}

  Points Touches() const {
    std::lock_guard lock(mutex_);
    return touches_;
  }

  std::function<void(int x)> onTouch;  // runs before the touch is recorded
  std::function<void()> onInit;
  Event shown{"shown"};
  std::atomic<bool> strayThread{false};  // a handler ran off the UI thread
  std::atomic<int> paints{0};

 protected:
  bool OnInitDialog() override {
    Note();
    MoveWindow(place_.left, place_.top, place_.Width(), place_.Height());
    if (onInit) onInit();
    shown.Set();
    return true;
  }
  void OnPaint(DeviceContext& dc) override {
    Note();
    dc.FillSolidRect(Rect{0, 0, place_.Width(), place_.Height()}, colour_);
    for (auto [x, y] : Touches()) dc.FillSolidRect(Rect{x - 3, y - 3, x + 3, y + 3}, kMarker);
    ++paints;
  }
  void OnLButtonDown(int x, int y) override {
    Note();
    if (onTouch) onTouch(x);
    {
      std::lock_guard lock(mutex_);
      touches_.emplace_back(x, y);
    }
    if (x >= place_.Width() - 20 && y >= place_.Height() - 20) EndDialog(7);
    InvalidateRect(nullptr);
  }

 private:
  void Note() { strayThread = strayThread || std::this_thread::get_id() != uiThread_; }

  uint32_t colour_;
  Rect place_;
  std::thread::id uiThread_ = std::this_thread::get_id();  // windows here are made on the UI thread
  mutable std::mutex mutex_;
  Points touches_;
};

class WindowManagerTest : public testing::Test {
 protected:
  Surface Shot() { return screen.Control().Screenshot(screen.Path("shot.png")).value_or(Surface(0, 0)); }
  void End(const Dialog& window) {
    Rect rect = window.GetWindowRect();
    screen.Control().Touch(rect.right - 1, rect.bottom - 1);
  }

  HeadlessScreen screen;
};

TEST_F(WindowManagerTest, TouchesReachTheWindowAndScreenshotsShowTheResult) {
  TestWindow main;
  int result = screen.RunScripted(main, [&] {
    Surface before = Shot();
    EXPECT_EQ(before.Width(), 480);
    EXPECT_EQ(before.Height(), 640);
    EXPECT_EQ(before.Pixel(100, 200), kBlue);
    // Off-screen touches and unwritable screenshots change nothing.
    for (const char* line : {"touch -1 5", "touch 480 5", "touch 5 640", "touch -2147483649 99999999999",
                             "touch 1 2 3", "screenshot /nonexistent/folder/shot.png", "touch 100 200"})
      screen.Control().Send(line);
    Surface after = Shot();
    EXPECT_EQ(after.Pixel(100, 200), kMarker);
    EXPECT_EQ(after.Pixel(110, 200), kBlue);
    End(main);
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(main.Touches(), (Points{{100, 200}, {479, 639}}));
  EXPECT_FALSE(main.strayThread);
}

TEST_F(WindowManagerTest, ABoxFromAWorkerRunsOnTheUiThreadTakesTouchesInsideItAndIsClipped) {
  constexpr uint32_t kYellow = RGB(255, 255, 0);
  TestWindow main;
  TestWindow box(kYellow, Rect{-100, 560, 100, 700});
  int boxResult = 0;
  screen.RunScripted(main, [&] {
    Shot();  // the main window is up
    std::thread worker([&] { boxResult = box.DoModal(); });
    box.shown.Wait(5000);
    screen.Control().Touch(150, 600);  // outside the box: dropped
    screen.Control().Touch(50, 580);   // inside: client coordinates
    Surface shot = Shot();
    for (auto [x, y, colour] : {std::tuple{50, 580, kMarker}, {150, 600, kBlue}, {0, 639, kYellow},
                                {99, 560, kYellow}, {100, 639, kBlue}, {0, 559, kBlue}})
      EXPECT_EQ(shot.Pixel(x, y), colour) << x << "," << y;
    box.EndDialog(1);
    worker.join();
    EXPECT_EQ(Shot().Pixel(0, 639), kBlue);
    End(main);
  });
  EXPECT_EQ(boxResult, 1);
  EXPECT_EQ(box.Touches(), (Points{{150, 20}}));
  EXPECT_EQ(main.Touches(), (Points{{479, 639}}));
  EXPECT_FALSE(box.strayThread);
}

TEST_F(WindowManagerTest, UpdateFromAWorkerReturnsOnlyOnceTheUiThreadHasPainted) {
  TestWindow main;
  TestWindow nested(RGB(255, 0, 255), Rect{40, 40, 240, 240});
  main.onTouch = [&](int x) {
    if (x < 100) nested.DoModal();
  };
  auto update = [&] {
    int before = main.paints;
    main.InvalidateRect(nullptr);
    main.UpdateWindow();
    EXPECT_GT(main.paints, before);
  };
  screen.RunScripted(main, [&] {
    Shot();
    for (int i = 0; i < 50; ++i) update();
    screen.Control().Touch(10, 10);  // the UI thread now sits in the nested box's run
    nested.shown.Wait(5000);
    update();
    End(nested);
    End(main);
  });
  EXPECT_EQ(nested.Touches(), (Points{{199, 199}}));
  EXPECT_FALSE(main.strayThread);
}

TEST_F(WindowManagerTest, AWindowIsShownOnlyAfterItsInitialisation) {
  TestWindow main;
  main.onInit = [&] {
    main.InvalidateRect(nullptr);
    main.UpdateWindow();
  };
  screen.RunScripted(main, [&] {
    Shot();
    End(main);
  });
  EXPECT_EQ(main.paints, 1);  // when first shown; the ending touch paints nothing

  TestWindow refused;
  refused.onInit = [&] { refused.EndDialog(3); };
  std::thread([&] {  // not up: returns at once
    refused.InvalidateRect(nullptr);
    refused.UpdateWindow();
  }).join();
  EXPECT_EQ(refused.DoModal(), 3);
  EXPECT_EQ(refused.paints, 0);
}

}  // namespace
