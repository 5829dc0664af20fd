#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One rendered character: 8-bit coverage placed relative to the pen position
// on the baseline (left to the first column, top up to the first row).
struct Glyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> coverage;  // width x height, row after row from the top
};

// A font by face name and cell height, as the console's fonts are made.
// Characters are the bytes of the program's texts read as Latin-1; control
// characters have no width and no glyph. Advances are known from the start,
// so measuring never renders; each glyph is rendered once, on first use, and
// then shared by every later draw (also across threads).
class Font {
 public:
  static constexpr int kNormal = 400;
  static constexpr int kBold = 700;

  // height > 0: cell height in pixels (ascent + descent); height < 0: em
  // height; 0: the default 16. weight: 100 to 900.
  Font(const char* face, int height, int weight = kNormal);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // False when no font file could be opened: such a font measures every
  // character as 0 wide and draws nothing.
  bool IsValid() const { return valid_; }
  int Height() const { return height_; }
  int Ascent() const { return ascent_; }
  int Advance(unsigned char c) const { return advances_[c]; }
  int TextWidth(const char* text, size_t length) const;
  const Glyph& GlyphOf(unsigned char c);

  // "Arial" at 16 pixels: the font of a device context that has none selected.
  static Font& Default();

 private:
  struct Engine;  // keeps FreeType out of every other header

  void LoadMetrics(int requestedHeight);
  void LoadAdvances();
  std::unique_ptr<Glyph> Render(unsigned char c);

  std::unique_ptr<Engine> engine_;
  bool valid_ = false;
  int height_ = 0;
  int ascent_ = 0;
  std::array<int, 256> advances_{};
  std::mutex renderMutex_;  // FreeType faces are not thread-safe
  std::array<std::unique_ptr<Glyph>, 256> glyphs_;
  std::array<std::atomic<const Glyph*>, 256> cache_{};
};
