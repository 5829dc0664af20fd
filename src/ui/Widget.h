#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "graphics/DeviceContext.h"
#include "graphics/Rect.h"
#include "ui/BoundedText.h"

// Something the operator sees and touches: it knows its rectangle, draws
// itself into a screen's off-screen image and says whether a point lies in
// it. Screens find widgets by name and show or hide them with both flags
// together. Flags may be changed by the programming run while the screen
// draws, so they are atomic.
class Widget {
 public:
  enum : uint32_t { Enabled = 1, Visible = 2 };
  enum : uint32_t { KindButton = 1, KindLabel = 2, KindList = 32 };
  static constexpr size_t kNameSize = 30;   // 29 characters and the terminator
  static constexpr size_t kTextSize = 255;  // 254 characters and the terminator

  virtual ~Widget() = default;
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  virtual void SetColors(uint32_t textColour, uint32_t backgroundColour);
  // Draws the widget (unless hidden) and returns the rectangle it covers.
  virtual Rect Draw(DeviceContext& dc) = 0;
  virtual Rect GetRect() const = 0;
  virtual void SetRect(const Rect& r) = 0;
  virtual void Offset(int dx, int dy) = 0;
  virtual void GetText(char* buffer, size_t size) const = 0;
  virtual void SetText(const char* text) = 0;

  // True when (x, y) lies in GetRect(), all four edges included.
  bool HitTest(int x, int y) const;
  // A touch at (x, y) that HitTouch found on this widget, before the screen
  // acts on the widget's name; most widgets leave it all to the screen.
  virtual void Touched(int /*x*/, int /*y*/) {}

  void SetFlags(uint32_t mask) { flags_.fetch_or(mask); }
  void ClearFlags(uint32_t mask) { flags_.fetch_and(~mask); }
  bool HasFlags(uint32_t mask) const { return (flags_.load() & mask) != 0; }
  bool IsTouchable() const { return (flags_.load() & (Enabled | Visible)) == (Enabled | Visible); }

  const char* Name() const { return name_.Get(); }
  uint32_t Kind() const { return kind_; }

 protected:
  // The name is cut to 29 characters; a new widget is enabled and visible.
  Widget(const char* name, uint32_t kind);

 private:
  std::atomic<uint32_t> flags_{Enabled | Visible};
  uint32_t kind_;
  BoundedText<kNameSize> name_;
};
