#pragma once

#include <cstdint>

#include "graphics/Rect.h"
#include "graphics/Surface.h"

class Font;
struct Glyph;
struct TextLine;

// Text format flags for DrawText.
enum TextFormat : uint32_t {
  kTextCenter = 1,
  kTextVCenter = 4,
  kTextWordBreak = 16,
  kTextSingleLine = 32,
  kTextCalcRect = 1024,
};

// Background modes for text.
enum BackgroundMode : int { kTransparent = 1, kOpaque = 2 };

struct Pen {
  bool none = false;
  int width = 1;
  uint32_t colour = 0;

  static Pen Solid(int width, uint32_t colour) { return Pen{false, width, colour}; }
};

struct Brush {
  bool hollow = false;
  uint32_t colour = RGB(255, 255, 255);

  static Brush Solid(uint32_t colour) { return Brush{false, colour}; }
  static const Brush* Hollow();  // the stock hollow brush
};

// GDI-like drawing onto a Surface. Pens, brushes and fonts are selected by
// pointer and stay owned by the caller; Select* returns the previous one so
// that it can be selected back (nullptr selects the stock default: black
// 1-pixel pen, white brush, Font::Default()). Pixel rules follow GDI:
// Rectangle and FillRect exclude the right and bottom edges, LineTo excludes
// its end point. Nothing is ever written outside the surface.
class DeviceContext {
 public:
  explicit DeviceContext(Surface* surface);

  Surface* GetSurface() const { return surface_; }

  const Pen* SelectPen(const Pen* pen);
  const Brush* SelectBrush(const Brush* brush);
  Font* SelectFont(Font* font);
  Font& CurrentFont() const;
  uint32_t SetTextColor(uint32_t colour);
  int SetBkMode(int mode);
  uint32_t SetBkColor(uint32_t colour);

  void FillRect(const Rect& r);                        // with the selected brush
  void FillSolidRect(const Rect& r, uint32_t colour);  // selected brush untouched
  void Rectangle(const Rect& r);                       // outline with pen, inside with brush
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Copies w x h pixels from (sx, sy) of source to (x, y), clipped to both.
  void BitBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy);
  // Draws text in r, clipped to r (or with kTextCalcRect measures it, setting
  // r's right and bottom to the text's extent); returns the height of the
  // text. length -1 means up to the terminator.
  int DrawText(const char* text, int length, Rect& r, uint32_t format);

 private:
  Rect Bounds() const { return {0, 0, surface_->Width(), surface_->Height()}; }
  void PenDot(int x, int y);
  void DrawTextLine(const char* text, const TextLine& line, int x, int y, const Rect& clip);
  void BlendGlyph(const Glyph& glyph, int left, int top, const Rect& clip);

  Surface* surface_;
  const Pen* pen_;
  const Brush* brush_;
  Font* font_ = nullptr;
  uint32_t textColour_ = RGB(0, 0, 0);
  uint32_t bkColour_ = RGB(255, 255, 255);
  int bkMode_ = kOpaque;
  int x_ = 0;
  int y_ = 0;
};
