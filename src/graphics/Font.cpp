#include "graphics/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int kDefaultHeight = 16;

struct FontFile {
  std::string path;
  int index = 0;
};

// Asks fontconfig for the file that serves the face: "Arial" resolves to its
// metric-compatible substitute.
FontFile FindFontFile(const char* face, int weight) {
  static std::mutex fontconfigMutex;
  std::lock_guard lock(fontconfigMutex);
  FontFile found;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    found.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &found.index);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

struct Font::Engine {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  ~Engine() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

Font::Font(const char* face, int height, int weight) : engine_(std::make_unique<Engine>()) {
  height_ = height == 0 ? kDefaultHeight : height;
  const FontFile file = FindFontFile(face ? face : "", weight);
  valid_ = !file.path.empty() && FT_Init_FreeType(&engine_->library) == 0 &&
           FT_New_Face(engine_->library, file.path.c_str(), file.index, &engine_->face) == 0;
  if (!valid_) {
    height_ = std::abs(height_);
    return;
  }
  LoadMetrics(height_);
  LoadAdvances();
}

Font::~Font() = default;

// Scales the face as the console does: a positive height spans the face's
// Windows ascent plus descent, so one line of text is exactly that high.
void Font::LoadMetrics(int requestedHeight) {
  FT_Face face = engine_->face;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double ascent = os2 ? os2->usWinAscent : face->ascender;
  const double descent = os2 ? os2->usWinDescent : -face->descender;
  const double span = ascent + descent > 0 ? ascent + descent : face->units_per_EM;
  const double emUnits = face->units_per_EM;
  double ppem = 0;
  if (requestedHeight > 0) {
    ppem = std::round(emUnits * requestedHeight / span);
    height_ = requestedHeight;
  } else {
    ppem = -requestedHeight;
    height_ = static_cast<int>(std::lround(span * ppem / emUnits));
  }
  ascent_ = static_cast<int>(std::lround(ascent * height_ / span));
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem < 1 ? 1 : ppem));
}

void Font::LoadAdvances() {
  for (int c = 0x20; c < 256; ++c) {
    if (c >= 0x7F && c < 0xA0) continue;
    const FT_UInt index = FT_Get_Char_Index(engine_->face, static_cast<FT_ULong>(c));
    if (FT_Load_Glyph(engine_->face, index, FT_LOAD_DEFAULT) == 0) {
      advances_[c] = static_cast<int>((engine_->face->glyph->advance.x + 32) >> 6);
    }
  }
}

int Font::TextWidth(const char* text, size_t length) const {
  int width = 0;
  for (size_t i = 0; i < length; ++i) width += advances_[static_cast<unsigned char>(text[i])];
  return width;
}

const Glyph& Font::GlyphOf(unsigned char c) {
  if (const Glyph* glyph = cache_[c].load(std::memory_order_acquire)) return *glyph;
  std::lock_guard lock(renderMutex_);
  if (!glyphs_[c]) {
    glyphs_[c] = Render(c);
    cache_[c].store(glyphs_[c].get(), std::memory_order_release);
  }
  return *glyphs_[c];
}

std::unique_ptr<Glyph> Font::Render(unsigned char c) {
  auto glyph = std::make_unique<Glyph>();
  if (!valid_ || advances_[c] == 0) return glyph;
  FT_Face face = engine_->face;
  const FT_UInt index = FT_Get_Char_Index(face, c);
  if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return glyph;
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph;
  glyph->left = face->glyph->bitmap_left;
  glyph->top = face->glyph->bitmap_top;
  glyph->width = static_cast<int>(bitmap.width);
  glyph->height = static_cast<int>(bitmap.rows);
  glyph->coverage.resize(static_cast<size_t>(glyph->width) * glyph->height);
  const int pitch = std::abs(bitmap.pitch);
  for (int y = 0; y < glyph->height; ++y) {
    const int sourceRow = bitmap.pitch >= 0 ? y : glyph->height - 1 - y;
    const unsigned char* source = bitmap.buffer + static_cast<size_t>(sourceRow) * pitch;
    std::copy(source, source + glyph->width, glyph->coverage.begin() + static_cast<ptrdiff_t>(y) * glyph->width);
  }
  return glyph;
}

Font& Font::Default() {
  static Font font("Arial", kDefaultHeight);
  return font;
}

// fontconfig leaves a few blocks of its parsed configuration unreachable once
// per process; leak-checking builds are told that this is not ours. (The
// sanitizer runtime looks this function up; other builds never call it.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
