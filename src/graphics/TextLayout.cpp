#include "graphics/TextLayout.h"

#include "graphics/DeviceContext.h"
#include "graphics/Font.h"

TextLayout::TextLayout(const Font& font, const char* text, size_t length, int width, uint32_t format)
    : font_(font),
      text_(text),
      length_(length),
      width_(width),
      breakLines_((format & kTextSingleLine) == 0),
      breakWords_(breakLines_ && (format & kTextWordBreak) != 0) {}

bool TextLayout::Next(TextLine& line) {
  if (position_ >= length_) return false;
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t wordEnd = kNone;  // where the line may end: after the last word that fit
  int wordEndWidth = 0;
  int width = 0;
  for (size_t i = position_; i < length_; ++i) {
    const char c = text_[i];
    if (breakLines_ && (c == '\n' || c == '\r')) {
      const bool pair = c == '\r' && i + 1 < length_ && text_[i + 1] == '\n';
      return EndLine(line, i, width, i + (pair ? 2 : 1));
    }
    if (breakWords_ && c == ' ') {
      if (width > width_ && wordEnd == kNone) return EndLine(line, i, width, SkipBlanks(i));  // an overlong word
      if (i > position_ && text_[i - 1] != ' ') {
        wordEnd = i;
        wordEndWidth = width;
      }
    }
    width += font_.Advance(static_cast<unsigned char>(c));
    if (breakWords_ && c != ' ' && width > width_ && wordEnd != kNone) {
      return EndLine(line, wordEnd, wordEndWidth, SkipBlanks(wordEnd));
    }
  }
  return EndLine(line, length_, width, length_);
}

bool TextLayout::EndLine(TextLine& line, size_t end, int width, size_t next) {
  line = {position_, end - position_, width};
  position_ = next;
  return true;
}

size_t TextLayout::SkipBlanks(size_t at) const {
  while (at < length_ && text_[at] == ' ') ++at;
  return at;
}
