#include "platform/SdlDisplay.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "ControlClient.h"
#include "XvfbServer.h"
#include "platform/ControlChannel.h"
#include "platform/Dialog.h"
#include "platform/WindowManager.h"

namespace {

// What a check in the child process found wrong, one line each.
class Findings {
 public:
  void Expect(bool ok, const std::string& what) {
    if (!ok) text_ += what + "\n";
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// SDL, X and GL keep process-wide state, and their caches look like leaks to
// a leak checker: each test runs the display in a child process that reports
// its findings through a pipe and leaves with _exit. A crash or a sanitizer
// report in the child shows as a bad exit.
std::string InChild(const std::function<void(Findings&)>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "no pipe";
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    Findings findings;
    body(findings);
    std::string text = findings.Text();
    ssize_t written = write(pipeFds[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[256];
  pollfd watched{pipeFds[0], POLLIN, 0};
  ssize_t got = 1;
  while (got > 0 && poll(&watched, 1, 30000) > 0 && (got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  close(pipeFds[0]);
  if (got != 0) kill(child, SIGKILL);  // hung
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += "child ended badly\n";
  return text;
}

// Green all over; keeps the touches it gets and ends on a touch in its lower half.
class GreenWindow : public Dialog {
 public:
  std::vector<std::pair<int, int>> touches;  // user-interface thread only

 protected:
  void OnPaint(DeviceContext& dc) override { dc.FillSolidRect(Rect{0, 0, 480, 640}, RGB(0, 255, 0)); }
  void OnLButtonDown(int x, int y) override {
    touches.emplace_back(x, y);
    if (y >= 320) EndDialog(9);
  }
};

// Runs against a private X server of exactly the console's size, where the
// centred 480 x 640 window covers the whole screen.
class SdlDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!xvfb_.Running()) GTEST_SKIP() << "Xvfb is not available";
    if (const char* display = std::getenv("DISPLAY")) previous_ = display;
    setenv("DISPLAY", xvfb_.Name().c_str(), 1);
  }
  void TearDown() override {
    if (previous_)
      setenv("DISPLAY", previous_->c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

  // Handles the events SDL has so far (the window's own ones included).
  static InputEvent Pump(SdlDisplay& display) {
    display.Wake();
    return display.WaitForInput();
  }

  static SDL_Event LeftClick(int x, int y) {
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = x;
    click.button.y = y;
    return click;
  }

  static void ExpectTouch(Findings& findings, const InputEvent& event, int x, int y) {
    findings.Expect(event.kind == InputEvent::kTouch && event.x == x && event.y == y,
                    "expected a touch at " + std::to_string(x) + "," + std::to_string(y) + ", got kind " +
                        std::to_string(event.kind) + " at " + std::to_string(event.x) + "," +
                        std::to_string(event.y));
  }

  XvfbServer xvfb_{kScreenWidth, kScreenHeight};
  std::optional<std::string> previous_;
};

TEST_F(SdlDisplayTest, ThePresentedFrameReachesTheScreen) {
  std::string problems = InChild([&](Findings& findings) {
    SdlDisplay display(false);
    findings.Expect(display.IsOpen(), "window not open");
    if (!display.IsOpen()) return;
    Surface frame(kScreenWidth, kScreenHeight, RGB(0, 0, 255));
    frame.SetPixel(10, 20, RGB(255, 0, 0));
    frame.SetPixel(479, 639, RGB(0, 255, 0));
    Surface shown(0, 0);
    // The window maps asynchronously: present until the server shows it.
    for (int attempt = 0; attempt < 200 && shown.Pixel(240, 320) != RGB(0, 0, 255); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      Pump(display);
      display.Present(frame);
      shown = xvfb_.Capture();
    }
    findings.Expect(shown.Pixel(240, 320) == RGB(0, 0, 255), "frame not shown");
    findings.Expect(shown.Pixel(0, 0) == RGB(0, 0, 255), "frame not at the top left");
    findings.Expect(shown.Pixel(10, 20) == RGB(255, 0, 0), "red pixel lost");
    findings.Expect(shown.Pixel(479, 639) == RGB(0, 255, 0), "bottom right pixel lost");
  });
  EXPECT_TRUE(problems.empty()) << problems;
}

TEST_F(SdlDisplayTest, LeftClicksAndFingersAreTouchesOnceEach) {
  std::string problems = InChild([&](Findings& findings) {
    SdlDisplay display(false);
    findings.Expect(display.IsOpen(), "window not open");
    if (!display.IsOpen()) return;
    Pump(display);
    SDL_Event click = LeftClick(100, 200);
    SDL_PushEvent(&click);
    ExpectTouch(findings, display.WaitForInput(), 100, 200);

    // The mouse press SDL makes of a finger, a right click and the
    // window's close button are no touches.
    SDL_Event fromFinger = LeftClick(1, 2);
    fromFinger.button.which = SDL_TOUCH_MOUSEID;
    SDL_PushEvent(&fromFinger);
    SDL_Event right = LeftClick(3, 4);
    right.button.button = SDL_BUTTON_RIGHT;
    SDL_PushEvent(&right);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    SDL_Event finger{};
    finger.type = SDL_FINGERDOWN;
    finger.tfinger.x = 0.5f;
    finger.tfinger.y = 0.25f;
    SDL_PushEvent(&finger);
    ExpectTouch(findings, display.WaitForInput(), 240, 160);
    findings.Expect(Pump(display).kind == InputEvent::kNone, "a wake-up is no input");
  });
  EXPECT_TRUE(problems.empty()) << problems;
}

TEST_F(SdlDisplayTest, AWindowIsShownAndTouchedThroughSdlAndTheControlFifo) {
  std::string fifo = std::filesystem::temp_directory_path() / ("sdl-control-" + std::to_string(getpid()));
  std::string problems = InChild([&](Findings& findings) {
    auto sdl = std::make_unique<SdlDisplay>(false);
    findings.Expect(sdl->IsOpen(), "window not open");
    if (!sdl->IsOpen()) return;
    sdl->SetControl(std::make_unique<ControlChannel>(fifo));
    WindowManager manager(std::move(sdl));
    WindowManager::Install(&manager);
    GreenWindow window;
    std::atomic<bool> shown{false};
    std::thread operator_([&] {
      for (int attempt = 0; attempt < 500 && !shown; ++attempt) {
        shown = xvfb_.Capture().Pixel(240, 320) == RGB(0, 255, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ControlClient control(fifo);
      control.Touch(30, 40);
      // Handled in order: once the screenshot is there, so is the touch.
      std::optional<Surface> shot = control.Screenshot(fifo + ".png");
      findings.Expect(shot && shot->Pixel(0, 0) == RGB(0, 255, 0), "no screenshot of the window");
      std::filesystem::remove(fifo + ".png");
      SDL_Event click = LeftClick(50, 600);
      SDL_PushEvent(&click);
    });
    int result = window.DoModal();
    operator_.join();
    WindowManager::Install(nullptr);
    findings.Expect(shown, "window never shown");
    findings.Expect(result == 9, "ended with " + std::to_string(result));
    findings.Expect(window.touches == std::vector<std::pair<int, int>>{{30, 40}, {50, 600}}, "touches lost");
  });
  std::filesystem::remove(fifo);
  EXPECT_TRUE(problems.empty()) << problems;
}

}  // namespace
