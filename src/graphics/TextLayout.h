#pragma once

#include <cstddef>
#include <cstdint>

class Font;

// One line of a text as DrawText shows it: text[start, start + length),
// width pixels wide.
struct TextLine {
  size_t start = 0;
  size_t length = 0;
  int width = 0;
};

// Splits a text into lines the way the console's DrawText does: "\n" (or
// "\r\n", or "\r") ends a line unless the format is single line; with word
// break a line ends at the last blank before the word that would pass the
// width, the blanks at the break belonging to no line; a word wider than the
// whole width stays whole on a line of its own. Walks the text without
// allocating.
class TextLayout {
 public:
  TextLayout(const Font& font, const char* text, size_t length, int width, uint32_t format);

  // Fills the next line; false when the text is used up.
  bool Next(TextLine& line);

 private:
  bool EndLine(TextLine& line, size_t end, int width, size_t next);
  size_t SkipBlanks(size_t at) const;

  const Font& font_;
  const char* text_;
  size_t length_;
  int width_;
  bool breakLines_;
  bool breakWords_;
  size_t position_ = 0;
};
