#pragma once

#include "ui/ResourceBitmap.h"
#include "ui/Widget.h"

class Font;

// A bitmap from the program's resources with an optional caption on top:
// node and action buttons, message box buttons, page arrows, the title
// picture. Its size is its image's; its touch area reaches one pixel further
// right and down, so the 2-pixel gap between neighbours belongs to the left
// one. A button whose image failed to load is 0 x 0 but still shows its
// caption, so the operator can still read what it does.
class ImageButton : public Widget {
 public:
  ImageButton(const char* name, int imageNumber, int x, int y);

  // font nullptr: the device context's current font; captionRect nullptr:
  // centred on the image, wrapping within its width minus 4.
  void SetCaption(const char* text, Font* font, uint32_t colour, uint32_t format, const Rect* captionRect);

  Rect Draw(DeviceContext& dc) override;
  Rect GetRect() const override;
  void SetRect(const Rect& r) override;
  void Offset(int dx, int dy) override;
  void GetText(char* buffer, size_t size) const override;
  void SetText(const char* text) override;

  int ImageWidth() const { return image_.Width(); }
  int ImageHeight() const { return image_.Height(); }

 private:
  Rect CaptionRect(DeviceContext& dc) const;

  ResourceBitmap image_;
  int x_;
  int y_;
  Font* captionFont_ = nullptr;
  uint32_t captionColour_ = 0;
  uint32_t captionFormat_ = 0;
  Rect captionRect_;
  bool hasCaptionRect_ = false;
  BoundedText<kTextSize> caption_;
};
