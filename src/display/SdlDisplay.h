#pragma once

#include <cstdint>

#include "display/Display.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

// An SDL2 window of 480 x 640, or the whole desktop with the frame scaled and
// letterboxed. Left mouse presses and finger presses are touches; a finger
// never also arrives as the mouse press SDL would make of it. Closing the
// window does nothing: like the console, the program is left only through
// its own Exit button.
class SdlDisplay final : public Display {
 public:
  explicit SdlDisplay(bool fullScreen);
  ~SdlDisplay() override;

  // False when SDL found no video device or could not make the window.
  bool IsOpen() const { return texture_ != nullptr; }

  void Present(const Surface& frame) override;
  InputEvent WaitForInput() override;
  void Wake() override;

 private:
  bool Translate(const SDL_Event& sdlEvent, InputEvent& event);
  void Redraw();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  uint32_t wakeEvent_ = 0;
};
