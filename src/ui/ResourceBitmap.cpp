#include "ui/ResourceBitmap.h"

#include "graphics/ResourceImage.h"

bool ResourceBitmap::Load(int number) {
  Release();
  number_ = number;
  bitmap_ = ResourceImage::LoadBitmap(number);
  if (!bitmap_) return false;
  width_ = bitmap_->Width();
  height_ = bitmap_->Height();
  return true;
}

Rect ResourceBitmap::Draw(DeviceContext& dc, int x, int y) const {
  if (bitmap_) dc.BitBlt(x, y, width_, height_, *bitmap_, 0, 0);
  return {x, y, x + width_, y + height_};
}

void ResourceBitmap::Release() {
  bitmap_.reset();
  width_ = 0;
  height_ = 0;
}
