#include "ui/Widget.h"

Widget::Widget(const char* name, uint32_t kind) : kind_(kind), name_(name) {}

void Widget::SetColors(uint32_t, uint32_t) {}

bool Widget::HitTest(int x, int y) const {
  const Rect r = GetRect();
  return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}
