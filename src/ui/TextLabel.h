#pragma once

#include <mutex>

#include "ui/Widget.h"

class Font;

// A text in a rectangle, with optional opaque background and border: titles,
// status lines, message box texts and the cells of a PagedList. A right or
// bottom edge of 0 follows the text's size at every draw. The programming run
// replaces the status text while the screen draws, so the text is guarded.
class TextLabel : public Widget {
 public:
  TextLabel(const char* name, const char* text, Font* font, uint32_t textColour, uint32_t backgroundColour,
            int backgroundMode, uint32_t format, const Rect& rect, int borderWidth, uint32_t borderColour);

  void SetColors(uint32_t textColour, uint32_t backgroundColour) override;
  Rect Draw(DeviceContext& dc) override;
  // The rectangle of the last draw (all zero before the first).
  Rect GetRect() const override { return drawn_; }
  void SetRect(const Rect& r) override { rect_ = r; }
  void Offset(int dx, int dy) override;
  void GetText(char* buffer, size_t size) const override;
  void SetText(const char* text) override;

 private:
  Rect Extent(DeviceContext& dc, const char* text) const;
  void DrawBorder(DeviceContext& dc) const;

  Font* font_;
  uint32_t textColour_;
  uint32_t backgroundColour_;
  int backgroundMode_;
  uint32_t format_;
  Rect rect_;
  int borderWidth_;
  uint32_t borderColour_;
  Rect drawn_;
  mutable std::mutex textMutex_;
  BoundedText<kTextSize> text_;
};
