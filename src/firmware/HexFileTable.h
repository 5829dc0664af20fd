#pragma once

#include <string_view>

// The bare names of the listed hex files; a program-list row's name is the
// index of its file here. One program-wide instance, created empty.
class HexFileTable {
 public:
  static constexpr int kSlotCount = 105;
  static constexpr int kLastListedIndex = 100;  // the list never offers more than 101 files
  static constexpr int kNameSize = 260;         // names are cut to 259 characters

  // Stores the name (cut to 259 characters) in slot index; false, storing
  // nothing, for an index outside the table.
  bool Store(int index, std::string_view fileName);

  // The name in slot index; empty for an unfilled slot or an index outside
  // the table.
  const char* At(int index) const;

 private:
  static bool InRange(int index) { return index >= 0 && index < kSlotCount; }

  char names_[kSlotCount][kNameSize] = {};
};
