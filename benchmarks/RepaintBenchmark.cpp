// A full repaint of the main screen's 480 x 640 surface with its widgets laid
// out as at run time: title picture and heading, the program list with 7 rows
// on its page, the status line, 10 captioned node buttons, Start, Exit,
// Recov., the two version lines and the progress bar. Goal: median under 2 ms.
// Also what one ShowStatus or SetProgress costs the programming thread: the
// same repaint asked for from another thread, painted, composed and presented
// by the user-interface thread while the caller waits.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "graphics/DeviceContext.h"
#include "display/Dialog.h"
#include "graphics/Font.h"
#include "display/HeadlessDisplay.h"
#include "display/WindowManager.h"
#include "ui/ImageButton.h"
#include "ui/PagedList.h"
#include "ui/ProgressBar.h"
#include "ui/TextLabel.h"
#include "ui/WidgetCollection.h"

namespace {

constexpr uint32_t kBlack = RGB(0, 0, 0);
constexpr uint32_t kWhite = RGB(255, 255, 255);
constexpr uint32_t kRed = RGB(255, 0, 0);
constexpr uint32_t kGrey = RGB(192, 192, 192);

class MainScreenLayout {
 public:
  MainScreenLayout() {
    dc_.SelectFont(&font22_);
    widgets_.Add(new ImageButton("", 130, 125, 35));
    widgets_.Add(new TextLabel("", "Select Program To Update", nullptr, kBlack, kWhite, kTransparent, 33,
                               {0, 2, 480, 0}, 0, kBlack));
    auto* list = widgets_.Add(new PagedList("programSelection", {50, 175, 430, 405}, 30, kBlack, nullptr, kBlack,
                                            kWhite, 0));
    list->SetScrollButtons(new ImageButton("", 132, 432, 175), new ImageButton("", 133, 432, 357));
    for (int row = 0; row < 12; ++row) list->AddRow(std::to_string(row).c_str(), "Rho Section Controller 1.07");
    widgets_.Add(new TextLabel("loadingMsg2", "Programming... Please Wait", nullptr, kBlack, kWhite, kOpaque, 33,
                               {0, 610, 480, 0}, 0, kBlack));
    for (int i = 0; i < 10; ++i) AddButton(("Node" + std::to_string(i)).c_str(), 73 + 66 * (i % 5), i < 5 ? 410 : 480);
    AddButton("Start", 403, 485);
    AddButton("Exit", 403, 550);
    AddButton("Recov.", 7, 550);
    widgets_.Add(new TextLabel("", "Firmware Version: 3", &font15_, kGrey, kWhite, kTransparent, 32, {2, 619, 0, 0},
                               0, kBlack));
    widgets_.Add(new TextLabel("", "Software Version: 1.4.1.0", &font15_, kGrey, kWhite, kTransparent, 32,
                               {5, 5, 480, 0}, 0, kBlack));
    bar_.SetSize(25, 320);
    bar_.SetPosition(76, 565);
    bar_.SetInset(2);
    bar_.SetFillColor(RGB(0, 0, 255));
    bar_.SetValue(75);
  }

  void Repaint() {
    dc_.FillRect({0, 0, 480, 640});
    widgets_.DrawAll(dc_);
    bar_.Draw(dc_);
  }

  const Surface& Image() const { return surface_; }

 private:
  void AddButton(const char* caption, int x, int y) {
    widgets_.Add(new ImageButton(caption, 129, x, y))->SetCaption(caption, nullptr, kRed, 1, nullptr);
  }

  Font font22_{"Arial", 22};
  Font font15_{"Arial", 15};
  Surface surface_{480, 640};
  DeviceContext dc_{&surface_};
  WidgetCollection widgets_;
  ProgressBar bar_{0, 0, 110, 30, 0, 0.0, 100.0, 10.0, 50.0, 80.0};
};

void BM_FullRepaint(benchmark::State& state) {
  MainScreenLayout screen;
  screen.Repaint();  // the first paint renders the glyphs; later ones reuse them
  for (auto _ : state) {
    screen.Repaint();
    benchmark::DoNotOptimize(screen.Image().Row(0));
  }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The main screen as a window: paints the layout into its surface and copies
// that to the window, as the main screen does.
class LayoutWindow final : public Dialog {
 public:
  std::atomic<bool> painted{false};

 protected:
  void OnPaint(DeviceContext& dc) override {
    layout_.Repaint();
    dc.BitBlt(0, 0, 480, 640, layout_.Image(), 0, 0);
    painted = true;
  }

 private:
  MainScreenLayout layout_;
};

void BM_RepaintFromProgrammingThread(benchmark::State& state) {
  LayoutWindow window;
  std::thread ui([&window] {
    WindowManager manager(std::make_unique<HeadlessDisplay>());
    WindowManager::Install(&manager);
    window.DoModal();
    WindowManager::Install(nullptr);
  });
  while (!window.painted) std::this_thread::yield();
  for (auto _ : state) {
    window.InvalidateRect(nullptr);
    window.UpdateWindow();
  }
  window.EndDialog(0);
  ui.join();
}
BENCHMARK(BM_RepaintFromProgrammingThread)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_MeasureStatusLine(benchmark::State& state) {
  Surface surface(480, 640);
  DeviceContext dc(&surface);
  for (auto _ : state) {
    Rect r{0, 0, 400, 0};
    benchmark::DoNotOptimize(dc.DrawText("Programming flash... Please wait while the node is updated", -1, r,
                                         kTextWordBreak | kTextCalcRect));
  }
}
BENCHMARK(BM_MeasureStatusLine);

}  // namespace

BENCHMARK_MAIN();
