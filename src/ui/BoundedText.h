#pragma once

#include <cstddef>

// Copies at most size - 1 characters of text into buffer and terminates it
// (also at buffer[size - 1]); a null text copies as empty.
inline void CopyBoundedText(char* buffer, size_t size, const char* text) {
  if (!buffer || size == 0) return;
  size_t n = 0;
  for (; text && n + 1 < size && text[n] != '\0'; ++n) buffer[n] = text[n];
  buffer[n] = '\0';
  buffer[size - 1] = '\0';
}

// Fixed-size text storage: keeps at most Size - 1 characters of what it is
// given (a longer text is cut) and is always terminated.
template <size_t Size>
class BoundedText {
 public:
  static constexpr size_t kMaxLength = Size - 1;

  BoundedText() = default;
  explicit BoundedText(const char* text) { Set(text); }

  void Set(const char* text) { CopyBoundedText(data_, Size, text); }
  const char* Get() const { return data_; }
  bool Empty() const { return data_[0] == '\0'; }
  void CopyTo(char* buffer, size_t size) const { CopyBoundedText(buffer, size, data_); }

 private:
  char data_[Size] = {};
};
