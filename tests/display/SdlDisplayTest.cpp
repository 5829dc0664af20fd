#include "display/SdlDisplay.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "ControlClient.h"
#include "XvfbServer.h"
#include "display/ControlChannel.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RACE_DETECTOR_BUILD 1
#endif
#endif
#ifndef RACE_DETECTOR_BUILD
#define RACE_DETECTOR_BUILD 0
#endif

namespace {

// SDL, X and GL keep process-wide state, and their caches look like leaks to
// a leak checker: the display runs in a child process that reports what it
// found wrong through a pipe and leaves with _exit. A crash, a hang or a
// sanitizer report in the child shows as a bad exit.
std::string InChild(const std::function<std::string()>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "no pipe";
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    std::string text = body();
    _exit(write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 3);
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

SDL_Event Press(uint32_t type, int x, int y, uint8_t button = SDL_BUTTON_LEFT, uint32_t which = 0) {
  SDL_Event event{};
  event.type = type;
  event.button.button = button;
  event.button.which = which;
  event.button.x = x;
  event.button.y = y;
  return event;
}

// On a private X server of exactly the console's size, where the centred
// 480 x 640 window covers the whole screen.
TEST(SdlDisplayTest, ShowsTheFrameAndTakesClicksFingersAndControlLinesAsTouches) {
#if defined(__SANITIZE_THREAD__) || RACE_DETECTOR_BUILD
  // SDL, X and the GL drivers run threads of their own that the race
  // detector cannot see into; it reports races inside them now and then.
  GTEST_SKIP() << "the display libraries are not built for the race detector";
#endif
  XvfbServer xvfb(kScreenWidth, kScreenHeight);
  if (!xvfb.Running()) GTEST_SKIP() << "Xvfb is not available";
  std::string fifo = testing::TempDir() + "sdl-control-" + std::to_string(getpid());
  std::string problems = InChild([&] {
    std::string found;
    auto expect = [&](bool ok, const std::string& what) { found += ok ? "" : what + "\n"; };
    auto expectTouch = [&](const InputEvent& e, int x, int y) {
      expect(e.kind == InputEvent::kTouch && e.x == x && e.y == y,
             "expected a touch at " + std::to_string(x) + "," + std::to_string(y) + ", got kind " +
                 std::to_string(e.kind) + " at " + std::to_string(e.x) + "," + std::to_string(e.y));
    };
    setenv("DISPLAY", xvfb.Name().c_str(), 1);
    SdlDisplay display(false);
    if (!display.IsOpen()) return std::string("window not open");
    display.SetControl(std::make_unique<ControlChannel>(fifo));

    Surface frame(kScreenWidth, kScreenHeight, RGB(0, 0, 255));
    frame.SetPixel(10, 20, RGB(255, 0, 0));
    frame.SetPixel(479, 639, RGB(0, 255, 0));
    Surface shown(0, 0);
    // The window maps asynchronously: present until the server shows it.
    for (int attempt = 0; attempt < 200 && shown.Pixel(0, 0) != RGB(0, 0, 255); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      display.Wake();
      display.WaitForInput();
      display.Present(frame);
      shown = xvfb.Capture();
    }
    expect(shown.Pixel(0, 0) == RGB(0, 0, 255), "frame not shown at the top left");
    expect(shown.Pixel(10, 20) == RGB(255, 0, 0), "red pixel lost");
    expect(shown.Pixel(479, 639) == RGB(0, 255, 0), "bottom right pixel lost");

    // The mouse press SDL makes of a finger, a right click and the window's
    // close button are no touches.
    SDL_Event finger{};
    finger.type = SDL_FINGERDOWN;
    finger.tfinger.x = 0.5f;
    finger.tfinger.y = 0.25f;
    for (SDL_Event event : {Press(SDL_MOUSEBUTTONDOWN, 1, 2, SDL_BUTTON_LEFT, SDL_TOUCH_MOUSEID),
                            Press(SDL_MOUSEBUTTONDOWN, 3, 4, SDL_BUTTON_RIGHT), Press(SDL_QUIT, 0, 0),
                            Press(SDL_MOUSEBUTTONDOWN, 100, 200), finger})
      SDL_PushEvent(&event);
    expectTouch(display.WaitForInput(), 100, 200);
    expectTouch(display.WaitForInput(), 240, 160);
    ControlClient(fifo).Touch(30, 40);  // read while SDL waits
    expectTouch(display.WaitForInput(), 30, 40);
    display.Wake();
    expect(display.WaitForInput().kind == InputEvent::kNone, "a wake-up is no input");
    return found;
  });
  std::filesystem::remove(fifo);
  EXPECT_EQ(problems, "");
}

}  // namespace
