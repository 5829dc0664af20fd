#include "ui/ImageButton.h"

namespace {

constexpr uint32_t kGrey = RGB(192, 192, 192);

Rect Moved(Rect r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace

ImageButton::ImageButton(const char* name, int imageNumber, int x, int y)
    : Widget(name, KindButton), x_(x), y_(y) {
  image_.Load(imageNumber);
}

void ImageButton::SetCaption(const char* text, Font* font, uint32_t colour, uint32_t format,
                             const Rect* captionRect) {
  SetText(text);
  captionFont_ = font;
  captionColour_ = colour;
  captionFormat_ = format;
  hasCaptionRect_ = captionRect != nullptr;
  if (captionRect) captionRect_ = *captionRect;
}

Rect ImageButton::Draw(DeviceContext& dc) {
  const Rect covered{x_, y_, x_ + image_.Width(), y_ + image_.Height()};
  if (!HasFlags(Visible)) return covered;
  image_.Draw(dc, x_, y_);
  if (caption_.Empty()) return covered;
  Font* previousFont = captionFont_ ? dc.SelectFont(captionFont_) : nullptr;
  dc.SetBkMode(kTransparent);
  const uint32_t previousColour = dc.SetTextColor(HasFlags(Enabled) ? captionColour_ : kGrey);
  Rect r = CaptionRect(dc);
  dc.DrawText(caption_.Get(), -1, r, captionFormat_ | kTextWordBreak);
  dc.SetTextColor(previousColour);
  if (captionFont_) dc.SelectFont(previousFont);
  return covered;
}

// Centred on the image, the odd pixel going right and down.
Rect ImageButton::CaptionRect(DeviceContext& dc) const {
  if (hasCaptionRect_) return Moved(captionRect_, x_, y_);
  Rect measured{0, 0, image_.Width() - 4, 0};
  const int textHeight = dc.DrawText(caption_.Get(), -1, measured, captionFormat_ | kTextWordBreak | kTextCalcRect);
  const int textWidth = measured.Width();
  const int left = (image_.Width() - (textWidth + 1)) / 2;
  const int top = (image_.Height() - textHeight) / 2;
  return Moved({left, top, left + textWidth, top + textHeight}, x_, y_);
}

Rect ImageButton::GetRect() const { return {x_, y_, x_ + image_.Width() + 1, y_ + image_.Height() + 1}; }

void ImageButton::SetRect(const Rect& r) {
  x_ = r.left;
  y_ = r.top;
}

void ImageButton::Offset(int dx, int dy) {
  x_ += dx;
  y_ += dy;
}

void ImageButton::GetText(char* buffer, size_t size) const { caption_.CopyTo(buffer, size); }

void ImageButton::SetText(const char* text) { caption_.Set(text); }
