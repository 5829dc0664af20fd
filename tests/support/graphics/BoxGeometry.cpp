#include "BoxGeometry.h"

#include "graphics/DeviceContext.h"
#include "graphics/Font.h"

BoxGeometry::BoxGeometry(const std::string& bodyText) {
  Font font("Arial", 22);
  Surface scratch(1, 1);
  DeviceContext dc(&scratch);
  dc.SelectFont(&font);
  Rect measured{0, 0, 300, 0};
  int height = dc.DrawText(bodyText.c_str(), -1, measured, kTextWordBreak | kTextCalcRect) + 200;
  int left = (480 - 400) / 2;
  int top = (640 - height) / 2 - 50;
  frame_ = Rect{left, top, left + 400, top + height};
}
