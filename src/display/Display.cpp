#include "display/Display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/ControlChannel.h"
#include "display/HeadlessDisplay.h"
#include "display/SdlDisplay.h"

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

bool WantsSdl() {
  const char* chosen = std::getenv("LUMEN_DISPLAY");
  if (chosen && *chosen) {
    if (std::strcmp(chosen, "sdl") == 0) return true;
    if (std::strcmp(chosen, "headless") != 0)
      std::fprintf(stderr, "display: unknown LUMEN_DISPLAY \"%s\"; running headless\n", chosen);
    return false;
  }
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

std::unique_ptr<Display> OpenDisplay() {
  if (WantsSdl()) {
    const char* fullScreen = std::getenv("LUMEN_FULLSCREEN");
    auto sdl = std::make_unique<SdlDisplay>(fullScreen && std::strcmp(fullScreen, "1") == 0);
    if (sdl->IsOpen()) return sdl;
    std::fprintf(stderr, "display: no SDL window; running headless\n");
  }
  return std::make_unique<HeadlessDisplay>();
}

}  // namespace

Display::Display() = default;
Display::~Display() = default;

std::unique_ptr<Display> Display::FromEnvironment() {
  std::unique_ptr<Display> display = OpenDisplay();
  if (IsSet("LUMEN_CONTROL")) display->SetControl(std::make_unique<ControlChannel>(std::getenv("LUMEN_CONTROL")));
  return display;
}

void Display::SetControl(std::unique_ptr<ControlChannel> control) {
  control_ = control && control->IsOpen() ? std::move(control) : nullptr;
}
