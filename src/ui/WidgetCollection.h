#pragma once

#include <memory>
#include <vector>

#include "ui/Widget.h"

// The ordered widgets of a screen, owned: drawn in the order they were added
// (later ones over earlier ones) and touch-tested in the same order (where
// widgets overlap, the one added first wins).
class WidgetCollection {
 public:
  WidgetCollection() = default;
  WidgetCollection(const WidgetCollection&) = delete;
  WidgetCollection& operator=(const WidgetCollection&) = delete;

  // Takes ownership and appends; returns the widget (nullptr is ignored and
  // returned) so that set-up can go on with it: Add(new ImageButton(...))->SetCaption(...).
  template <class W>
  W* Add(W* widget) {
    if (widget) widgets_.emplace_back(widget);
    return widget;
  }
  // The first widget whose name equals name exactly, or nullptr.
  Widget* Find(const char* name) const;
  // The first enabled and visible widget that contains (x, y), or nullptr;
  // the hit widget reacts first (Touched: a list turns a page or selects a row).
  Widget* HitTouch(int x, int y) const;
  // Draws every widget in order; returns the union of what they covered.
  Rect DrawAll(DeviceContext& dc) const;
  void DeleteAll();

  size_t Count() const { return widgets_.size(); }
  Widget* At(size_t index) const { return widgets_[index].get(); }

 private:
  std::vector<std::unique_ptr<Widget>> widgets_;
};
