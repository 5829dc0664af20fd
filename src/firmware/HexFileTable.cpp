#include "firmware/HexFileTable.h"

#include <algorithm>

bool HexFileTable::Store(int index, std::string_view fileName) {
  if (!InRange(index)) return false;
  char* name = names_[index];
  const size_t length = std::min(fileName.size(), static_cast<size_t>(kNameSize - 1));
  fileName.copy(name, length);
  name[length] = '\0';
  return true;
}

const char* HexFileTable::At(int index) const { return InRange(index) ? names_[index] : ""; }
