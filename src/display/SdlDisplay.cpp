#include "display/SdlDisplay.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>

#include "display/ControlChannel.h"

namespace {

// How often the control FIFO is looked at while SDL waits: SDL cannot wait on
// a file descriptor of ours.
constexpr int kControlPollMs = 50;

int ToScreen(float normalised, int size) { return static_cast<int>(std::floor(normalised * size)); }

}  // namespace

SdlDisplay::SdlDisplay(bool fullScreen) {
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  // SIGTERM and SIGINT must end the program as they would without SDL; SDL
  // would turn them into a close request, which does nothing here.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "display: SDL: %s\n", SDL_GetError());
    return;
  }
  wakeEvent_ = SDL_RegisterEvents(1);
  uint32_t flags = fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
  window_ = SDL_CreateWindow("Uploader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kScreenWidth,
                             kScreenHeight, flags);
  if (window_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_ && window_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_) {
    // The frame keeps its proportions on any screen; SDL maps presses back.
    SDL_RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight);
    // 0x00BBGGRR pixels are SDL's packed XBGR.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGR888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                 kScreenHeight);
  }
  if (!texture_) {
    std::fprintf(stderr, "display: SDL window: %s\n", SDL_GetError());
    return;
  }
  if (fullScreen) SDL_ShowCursor(SDL_DISABLE);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  Redraw();
}

SdlDisplay::~SdlDisplay() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  SDL_Quit();
}

void SdlDisplay::Present(const Surface& frame) {
  if (!texture_ || frame.Width() != kScreenWidth || frame.Height() != kScreenHeight) return;
  SDL_UpdateTexture(texture_, nullptr, frame.Row(0), kScreenWidth * 4);
  Redraw();
}

void SdlDisplay::Redraw() {
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

InputEvent SdlDisplay::WaitForInput() {
  InputEvent event;
  for (;;) {
    if (control_) {
      control_->ReadAvailable();
      if (control_->Next(event)) return event;
    }
    SDL_Event sdlEvent;
    int got = control_ ? SDL_WaitEventTimeout(&sdlEvent, kControlPollMs) : SDL_WaitEvent(&sdlEvent);
    if (!got) continue;
    if (sdlEvent.type == wakeEvent_) return InputEvent{};
    if (Translate(sdlEvent, event)) return event;
  }
}

bool SdlDisplay::Translate(const SDL_Event& sdlEvent, InputEvent& event) {
  switch (sdlEvent.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (sdlEvent.button.which == SDL_TOUCH_MOUSEID || sdlEvent.button.button != SDL_BUTTON_LEFT) return false;
      event = InputEvent{InputEvent::kTouch, sdlEvent.button.x, sdlEvent.button.y, {}};
      return true;
    case SDL_FINGERDOWN:
      // The renderer has already made these relative to the letterboxed frame.
      event = InputEvent{InputEvent::kTouch, ToScreen(sdlEvent.tfinger.x, kScreenWidth),
                         ToScreen(sdlEvent.tfinger.y, kScreenHeight), {}};
      return true;
    case SDL_WINDOWEVENT:
      if (sdlEvent.window.event == SDL_WINDOWEVENT_EXPOSED || sdlEvent.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
        Redraw();
      return false;
    default:  // SDL_QUIT included: the window's close button does nothing
      return false;
  }
}

void SdlDisplay::Wake() {
  SDL_Event wake{};
  wake.type = wakeEvent_;
  SDL_PushEvent(&wake);
}
