#include "ui/WidgetCollection.h"

#include <algorithm>
#include <cstring>

Widget* WidgetCollection::Find(const char* name) const {
  if (!name) return nullptr;
  for (const auto& widget : widgets_) {
    if (std::strcmp(widget->Name(), name) == 0) return widget.get();
  }
  return nullptr;
}

Widget* WidgetCollection::HitTouch(int x, int y) const {
  for (const auto& widget : widgets_) {
    if (!widget->IsTouchable() || !widget->HitTest(x, y)) continue;
    widget->Touched(x, y);
    return widget.get();
  }
  return nullptr;
}

Rect WidgetCollection::DrawAll(DeviceContext& dc) const {
  Rect covered;
  bool first = true;
  for (const auto& widget : widgets_) {
    const Rect r = widget->Draw(dc);
    covered = first ? r
                    : Rect{std::min(covered.left, r.left), std::min(covered.top, r.top),
                           std::max(covered.right, r.right), std::max(covered.bottom, r.bottom)};
    first = false;
  }
  return covered;
}

void WidgetCollection::DeleteAll() { widgets_.clear(); }
