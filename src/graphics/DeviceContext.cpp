#include "graphics/DeviceContext.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "graphics/Font.h"
#include "graphics/TextLayout.h"

namespace {

const Pen kBlackPen{};
const Brush kWhiteBrush{};
const Brush kHollowBrush{true, 0};

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

uint32_t Mix(uint32_t under, uint32_t over, uint32_t alpha, int shift) {
  const int u = static_cast<int>((under >> shift) & 0xFF);
  const int o = static_cast<int>((over >> shift) & 0xFF);
  return static_cast<uint32_t>(u + ((o - u) * static_cast<int>(alpha) + 127) / 255) << shift;
}

uint32_t Blend(uint32_t under, uint32_t over, uint32_t alpha) {
  if (alpha == 255) return over;
  return Mix(under, over, alpha, 0) | Mix(under, over, alpha, 8) | Mix(under, over, alpha, 16);
}

// Narrows a copy of length pixels from source position s to target position
// t so that both stay within [0, limit); false when nothing is left.
bool ClipSpan(int& t, int& s, int& length, int targetLimit, int sourceLimit) {
  long long shift = std::max({0LL, -static_cast<long long>(t), -static_cast<long long>(s)});
  long long n = static_cast<long long>(length) - shift;
  const long long tt = t + shift;
  const long long ss = s + shift;
  n = std::min({n, targetLimit - tt, sourceLimit - ss});
  if (n <= 0) return false;
  t = static_cast<int>(tt);
  s = static_cast<int>(ss);
  length = static_cast<int>(n);
  return true;
}

}  // namespace

const Brush* Brush::Hollow() { return &kHollowBrush; }

DeviceContext::DeviceContext(Surface* surface) : surface_(surface), pen_(&kBlackPen), brush_(&kWhiteBrush) {}

const Pen* DeviceContext::SelectPen(const Pen* pen) {
  const Pen* previous = pen_;
  pen_ = pen ? pen : &kBlackPen;
  return previous;
}

const Brush* DeviceContext::SelectBrush(const Brush* brush) {
  const Brush* previous = brush_;
  brush_ = brush ? brush : &kWhiteBrush;
  return previous;
}

Font* DeviceContext::SelectFont(Font* font) {
  Font* previous = font_;
  font_ = font;
  return previous;
}

Font& DeviceContext::CurrentFont() const { return font_ ? *font_ : Font::Default(); }

uint32_t DeviceContext::SetTextColor(uint32_t colour) { return std::exchange(textColour_, colour); }

int DeviceContext::SetBkMode(int mode) { return std::exchange(bkMode_, mode); }

uint32_t DeviceContext::SetBkColor(uint32_t colour) { return std::exchange(bkColour_, colour); }

void DeviceContext::FillRect(const Rect& r) {
  if (!brush_->hollow) FillSolidRect(r, brush_->colour);
}

void DeviceContext::FillSolidRect(const Rect& r, uint32_t colour) {
  const Rect clip = Intersect(r, Bounds());
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  // One row pixel by pixel, the others copied from it: copying is several
  // times faster, and a repaint fills most of the screen more than once.
  uint32_t* const first = surface_->Row(clip.top) + clip.left;
  std::fill(first, first + (clip.right - clip.left), colour);
  const size_t bytes = static_cast<size_t>(clip.right - clip.left) * sizeof(uint32_t);
  for (int y = clip.top + 1; y < clip.bottom; ++y) std::memcpy(surface_->Row(y) + clip.left, first, bytes);
}

// The outline runs through the pixels (left .. right - 1, top .. bottom - 1);
// a wider pen spreads evenly to both sides of that path.
void DeviceContext::Rectangle(const Rect& r) {
  const Rect n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
  if (!brush_->hollow) {
    const int inset = pen_->none ? 0 : 1;
    FillSolidRect({n.left + inset, n.top + inset, n.right - 1, n.bottom - 1}, brush_->colour);
  }
  if (pen_->none || n.right == n.left || n.bottom == n.top) return;
  const int w = std::max(1, pen_->width);
  const int o = w / 2;
  const int l = n.left - o, t = n.top - o, rr = n.right - 1 - o, b = n.bottom - 1 - o;
  FillSolidRect({l, t, rr + w, t + w}, pen_->colour);
  FillSolidRect({l, b, rr + w, b + w}, pen_->colour);
  FillSolidRect({l, t, l + w, b + w}, pen_->colour);
  FillSolidRect({rr, t, rr + w, b + w}, pen_->colour);
}

void DeviceContext::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void DeviceContext::PenDot(int x, int y) {
  const int w = std::max(1, pen_->width);
  if (w == 1) {
    surface_->SetPixel(x, y, pen_->colour);
  } else {
    FillSolidRect({x - w / 2, y - w / 2, x - w / 2 + w, y - w / 2 + w}, pen_->colour);
  }
}

void DeviceContext::LineTo(int x, int y) {
  const int x0 = std::exchange(x_, x);
  const int y0 = std::exchange(y_, y);
  if (pen_->none || (x0 == x && y0 == y)) return;
  const int w = std::max(1, pen_->width);
  const int o = w / 2;
  if (y0 == y) {  // exact horizontal band, end point excluded
    const int from = x > x0 ? x0 : x + 1;
    const int to = x > x0 ? x - 1 : x0;
    FillSolidRect({from - o, y - o, to - o + w, y - o + w}, pen_->colour);
    return;
  }
  if (x0 == x) {
    const int from = y > y0 ? y0 : y + 1;
    const int to = y > y0 ? y - 1 : y0;
    FillSolidRect({x - o, from - o, x - o + w, to - o + w}, pen_->colour);
    return;
  }
  // Bresenham over every octant, stopping before the end point.
  long long px = x0, py = y0;
  const long long dx = std::llabs(static_cast<long long>(x) - x0);
  const long long dy = -std::llabs(static_cast<long long>(y) - y0);
  const int sx = x0 < x ? 1 : -1;
  const int sy = y0 < y ? 1 : -1;
  long long error = dx + dy;
  while (px != x || py != y) {
    PenDot(static_cast<int>(px), static_cast<int>(py));
    const long long twice = 2 * error;
    if (twice > dy) {
      error += dy;
      px += sx;
    }
    if (twice < dx) {
      error += dx;
      py += sy;
    }
  }
}

void DeviceContext::BitBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy) {
  if (!ClipSpan(x, sx, w, surface_->Width(), source.Width())) return;
  if (!ClipSpan(y, sy, h, surface_->Height(), source.Height())) return;
  // A copy within one surface runs against the direction of the move.
  const bool upwards = &source == surface_ && sy < y;
  for (int i = 0; i < h; ++i) {
    const int row = upwards ? h - 1 - i : i;
    std::memmove(surface_->Row(y + row) + x, source.Row(sy + row) + sx, static_cast<size_t>(w) * sizeof(uint32_t));
  }
}

int DeviceContext::DrawText(const char* text, int length, Rect& r, uint32_t format) {
  const size_t count = !text ? 0 : length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  const Font& font = CurrentFont();
  const int lineHeight = font.Height();
  TextLayout layout(font, text, count, r.Width(), format);
  TextLine line;
  int lines = 0;
  if (format & kTextCalcRect) {
    int widest = 0;
    for (; layout.Next(line); ++lines) widest = std::max(widest, line.width);
    r.right = r.left + widest;
    r.bottom = r.top + lines * lineHeight;
    return lines * lineHeight;
  }
  const Rect clip = Intersect(r, Bounds());
  const bool centreVertically = (format & kTextSingleLine) && (format & kTextVCenter);
  int y = centreVertically ? r.top + (r.Height() - lineHeight) / 2 : r.top;
  for (; layout.Next(line); ++lines, y += lineHeight) {
    const int x = (format & kTextCenter) ? r.left + (r.Width() - line.width) / 2 : r.left;
    if (y < clip.bottom && y + lineHeight > clip.top) DrawTextLine(text, line, x, y, clip);
  }
  return lines * lineHeight;
}

void DeviceContext::DrawTextLine(const char* text, const TextLine& line, int x, int y, const Rect& clip) {
  Font& font = CurrentFont();
  if (bkMode_ == kOpaque) FillSolidRect(Intersect({x, y, x + line.width, y + font.Height()}, clip), bkColour_);
  const int baseline = y + font.Ascent();
  for (size_t i = line.start; i < line.start + line.length && x < clip.right; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int advance = font.Advance(c);
    if (advance == 0) continue;
    const Glyph& glyph = font.GlyphOf(c);
    BlendGlyph(glyph, x + glyph.left, baseline - glyph.top, clip);
    x += advance;
  }
}

void DeviceContext::BlendGlyph(const Glyph& glyph, int left, int top, const Rect& clip) {
  const Rect area = Intersect({left, top, left + glyph.width, top + glyph.height}, clip);
  for (int y = area.top; y < area.bottom; ++y) {
    const uint8_t* coverage = glyph.coverage.data() + static_cast<size_t>(y - top) * glyph.width;
    uint32_t* row = surface_->Row(y);
    for (int x = area.left; x < area.right; ++x) {
      const uint8_t alpha = coverage[x - left];
      if (alpha != 0) row[x] = Blend(row[x], textColour_, alpha);
    }
  }
}
