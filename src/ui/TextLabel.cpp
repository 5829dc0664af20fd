#include "ui/TextLabel.h"

namespace {

constexpr uint32_t kGrey = RGB(192, 192, 192);

}  // namespace

TextLabel::TextLabel(const char* name, const char* text, Font* font, uint32_t textColour,
                     uint32_t backgroundColour, int backgroundMode, uint32_t format, const Rect& rect,
                     int borderWidth, uint32_t borderColour)
    : Widget(name, KindLabel),
      font_(font),
      textColour_(textColour),
      backgroundColour_(backgroundColour),
      backgroundMode_(backgroundMode),
      format_(format),
      rect_(rect),
      borderWidth_(borderWidth),
      borderColour_(borderColour) {
  SetText(text);
}

void TextLabel::SetColors(uint32_t textColour, uint32_t backgroundColour) {
  textColour_ = textColour;
  backgroundColour_ = backgroundColour;
}

Rect TextLabel::Draw(DeviceContext& dc) {
  if (!HasFlags(Visible)) return drawn_;
  char text[kTextSize];
  GetText(text, sizeof text);
  Font* previousFont = font_ ? dc.SelectFont(font_) : nullptr;
  const bool opaque = backgroundMode_ == kOpaque;
  const uint32_t previousBackground = opaque ? dc.SetBkColor(backgroundColour_) : 0;
  if (backgroundMode_ == kTransparent || opaque) dc.SetBkMode(backgroundMode_);
  const uint32_t previousColour = dc.SetTextColor(HasFlags(Enabled) ? textColour_ : kGrey);
  drawn_ = Extent(dc, text);
  if (borderWidth_ != 0) DrawBorder(dc);
  Rect textRect{drawn_.left + 2, drawn_.top, drawn_.right, drawn_.bottom};
  dc.DrawText(text, -1, textRect, format_);
  dc.SetTextColor(previousColour);
  if (opaque) dc.SetBkColor(previousBackground);
  if (font_) dc.SelectFont(previousFont);
  return drawn_;
}

// The rectangle to draw in: edges given as 0 follow the text (plus 4 pixels
// of width for the 2-pixel indent and a margin).
Rect TextLabel::Extent(DeviceContext& dc, const char* text) const {
  Rect r = rect_;
  if (rect_.right != 0 && rect_.bottom != 0) return r;
  Rect measured{};
  const int textHeight = dc.DrawText(text, -1, measured, (format_ & ~kTextVCenter) | kTextCalcRect);
  if (rect_.bottom == 0) r.bottom = r.top + textHeight;
  if (rect_.right == 0) r.right = r.left + measured.Width() + 4;
  return r;
}

// The border covers the drawn rectangle's right and bottom edges too.
void TextLabel::DrawBorder(DeviceContext& dc) const {
  const Brush fill = Brush::Solid(backgroundColour_);
  const Pen pen = Pen::Solid(borderWidth_, borderColour_);
  const Brush* previousBrush = dc.SelectBrush(backgroundMode_ == kOpaque ? &fill : Brush::Hollow());
  const Pen* previousPen = dc.SelectPen(&pen);
  dc.Rectangle({drawn_.left, drawn_.top, drawn_.right + 1, drawn_.bottom + 1});
  dc.SelectPen(previousPen);
  dc.SelectBrush(previousBrush);
}

void TextLabel::Offset(int dx, int dy) {
  rect_.left += dx;
  rect_.top += dy;
  if (rect_.right != 0) rect_.right += dx;
  if (rect_.bottom != 0) rect_.bottom += dy;
}

void TextLabel::GetText(char* buffer, size_t size) const {
  std::lock_guard lock(textMutex_);
  text_.CopyTo(buffer, size);
}

void TextLabel::SetText(const char* text) {
  std::lock_guard lock(textMutex_);
  text_.Set(text);
}
