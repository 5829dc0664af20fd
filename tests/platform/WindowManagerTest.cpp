#include "platform/WindowManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "HeadlessScreen.h"
#include "platform/Dialog.h"
#include "platform/Event.h"

namespace {

using Point = std::pair<int, int>;

constexpr uint32_t kMarker = RGB(255, 0, 0);

// A window in one colour that marks every touch with a 6 x 6 red square and
// ends when touched in the 20 x 20 corner at its bottom right.
class TestWindow : public Dialog {
 public:
  explicit TestWindow(uint32_t colour, Rect place = {0, 0, 480, 640}) : colour_(colour), place_(place) {}

  std::vector<Point> Touches() const {
    std::lock_guard lock(mutex_);
    return touches_;
  }
  bool RanOnUiThreadOnly() const { return !strayThread_; }
  int Paints() const { return paints_; }

  std::function<void(int, int)> onTouch;  // runs before the touch is recorded
  std::function<void()> onInit;
  Event shown{"shown"};
  std::atomic<int> paintedValue{0};
  std::atomic<int> value{0};

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
    Rect rect = GetWindowRect();
    dc.FillSolidRect(Rect{0, 0, rect.Width(), rect.Height()}, colour_);
    for (auto [x, y] : Touches()) dc.FillSolidRect(Rect{x - 3, y - 3, x + 3, y + 3}, kMarker);
    paintedValue = value.load();
    ++paints_;
  }
  void OnLButtonDown(int x, int y) override {
    Note();
    if (onTouch) onTouch(x, y);
    {
      std::lock_guard lock(mutex_);
      touches_.emplace_back(x, y);
    }
    Rect rect = GetWindowRect();
    if (x >= rect.Width() - 20 && y >= rect.Height() - 20) EndDialog(7);
    InvalidateRect(nullptr);
  }

 private:
  void Note() {
    if (std::this_thread::get_id() != uiThread_) strayThread_ = true;
  }

  uint32_t colour_;
  Rect place_;
  std::thread::id uiThread_ = std::this_thread::get_id();  // windows here are made on the UI thread
  std::atomic<bool> strayThread_{false};
  std::atomic<int> paints_{0};
  mutable std::mutex mutex_;
  std::vector<Point> touches_;
};

class WindowManagerTest : public testing::Test {
 protected:
  Surface Screenshot() {
    std::optional<Surface> shot = screen.Control().Screenshot(screen.Path("shot.png"));
    EXPECT_TRUE(shot.has_value());
    return shot ? std::move(*shot) : Surface(0, 0);
  }

  void End(const Dialog& window) {
    Rect rect = window.GetWindowRect();
    screen.Control().Touch(rect.right - 1, rect.bottom - 1);
  }

  HeadlessScreen screen;
};

TEST_F(WindowManagerTest, ScriptedTouchesChangeTheScreenAndScreenshotsRecordIt) {
  TestWindow main(RGB(0, 0, 255));
  int result = screen.RunScripted(main, [&] {
    Surface before = Screenshot();
    ASSERT_EQ(before.Width(), 480);
    ASSERT_EQ(before.Height(), 640);
    EXPECT_EQ(before.Pixel(100, 200), RGB(0, 0, 255));
    screen.Control().Touch(100, 200);
    Surface after = Screenshot();
    EXPECT_EQ(after.Pixel(100, 200), kMarker);
    EXPECT_EQ(after.Pixel(110, 200), RGB(0, 0, 255));
    End(main);
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(main.Touches(), (std::vector<Point>{{100, 200}, {479, 639}}));
  EXPECT_TRUE(main.RanOnUiThreadOnly());
}

TEST_F(WindowManagerTest, BadControlLinesAndOffScreenTouchesChangeNothing) {
  TestWindow main(RGB(0, 255, 0));
  screen.RunScripted(main, [&] {
    for (const char* line : {"touch", "touch 1", "touch x 5", "touch 1 2 3", "screenshot", "poke 3 4", "",
                             "touch -1 5", "touch 480 5", "touch 5 640", "touch -2147483649 99999999999",
                             "screenshot /nonexistent/folder/shot.png"})
      screen.Control().Send(line);
    EXPECT_EQ(Screenshot().Pixel(0, 0), RGB(0, 255, 0));
    End(main);
  });
  EXPECT_EQ(main.Touches(), (std::vector<Point>{{479, 639}}));
}

TEST_F(WindowManagerTest, ComposesWindowsThatReachBeyondTheScreen) {
  TestWindow main(RGB(0, 0, 255));
  TestWindow corner(RGB(0, 255, 0), Rect{-100, 600, 100, 700});
  screen.RunScripted(main, [&] {
    std::thread worker([&] { corner.DoModal(); });
    corner.shown.Wait(5000);
    Surface shot = Screenshot();
    EXPECT_EQ(shot.Pixel(0, 639), RGB(0, 255, 0));
    EXPECT_EQ(shot.Pixel(99, 600), RGB(0, 255, 0));
    EXPECT_EQ(shot.Pixel(100, 639), RGB(0, 0, 255));
    EXPECT_EQ(shot.Pixel(0, 599), RGB(0, 0, 255));
    corner.EndDialog(1);
    worker.join();
    EXPECT_EQ(Screenshot().Pixel(0, 639), RGB(0, 0, 255));
    End(main);
  });
}

TEST_F(WindowManagerTest, ABoxFromAWorkerRunsOnTheUiThreadAndTakesTheTouches) {
  TestWindow main(RGB(0, 0, 255));
  TestWindow box(RGB(255, 255, 0), Rect{100, 100, 300, 250});
  int boxResult = 0;
  screen.RunScripted(main, [&] {
    Screenshot();  // the main window is up
    std::thread worker([&] { boxResult = box.DoModal(); });
    box.shown.Wait(5000);
    screen.Control().Touch(50, 50);    // outside the box: dropped
    screen.Control().Touch(150, 130);  // inside: client coordinates
    Surface shot = Screenshot();
    EXPECT_EQ(shot.Pixel(150, 130), kMarker);
    EXPECT_EQ(shot.Pixel(50, 50), RGB(0, 0, 255));
    EXPECT_EQ(shot.Pixel(101, 101), RGB(255, 255, 0));
    End(box);
    worker.join();
    End(main);
  });
  EXPECT_EQ(boxResult, 7);
  EXPECT_EQ(box.Touches(), (std::vector<Point>{{50, 30}, {199, 149}}));
  EXPECT_EQ(main.Touches(), (std::vector<Point>{{479, 639}}));
  EXPECT_TRUE(box.RanOnUiThreadOnly());
}

TEST_F(WindowManagerTest, UpdateFromAWorkerReturnsOnceTheUiThreadHasPainted) {
  TestWindow main(RGB(0, 0, 255));
  screen.RunScripted(main, [&] {
    Screenshot();
    for (int i = 1; i <= 50; ++i) {
      main.value = i;
      main.InvalidateRect(nullptr);
      main.UpdateWindow();
      EXPECT_EQ(main.paintedValue, i);
    }
    End(main);
  });
  EXPECT_TRUE(main.RanOnUiThreadOnly());
}

TEST_F(WindowManagerTest, UpdateFromAWorkerIsServedInsideANestedRun) {
  TestWindow main(RGB(0, 0, 255));
  TestWindow nested(RGB(255, 0, 255), Rect{40, 40, 240, 240});
  main.onTouch = [&](int x, int) {
    if (x < 100) nested.DoModal();
  };
  screen.RunScripted(main, [&] {
    screen.Control().Touch(10, 10);
    nested.shown.Wait(5000);
    main.value = 99;
    main.InvalidateRect(nullptr);
    main.UpdateWindow();
    EXPECT_EQ(main.paintedValue, 99);
    End(nested);
    End(main);
  });
  EXPECT_EQ(nested.Touches(), (std::vector<Point>{{199, 199}}));
}

TEST_F(WindowManagerTest, AWindowIsShownOnlyAfterItsInitialisation) {
  TestWindow main(RGB(0, 0, 255));
  main.onInit = [&] {
    main.InvalidateRect(nullptr);
    main.UpdateWindow();
  };
  screen.RunScripted(main, [&] {
    Screenshot();
    End(main);
  });
  EXPECT_EQ(main.Paints(), 1);  // when first shown; the ending touch paints nothing

  TestWindow refused(RGB(0, 0, 255));
  refused.onInit = [&] { refused.EndDialog(3); };
  EXPECT_EQ(refused.DoModal(), 3);
  EXPECT_EQ(refused.Paints(), 0);
}

TEST_F(WindowManagerTest, UpdatingAWindowThatIsNotUpReturnsAtOnce) {
  TestWindow idle(RGB(0, 0, 255));
  std::thread worker([&] {
    idle.InvalidateRect(nullptr);
    idle.UpdateWindow();
  });
  worker.join();
  EXPECT_EQ(idle.Paints(), 0);
}

}  // namespace
