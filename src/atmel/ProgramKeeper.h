#pragma once

#include "atmel/FirmwareImage.h"

// Where the engine hands the program a node runs before erasing it, so that
// a failed update can put it back. The console behind it decides where the
// program goes and asks the operator when it cannot be kept.
class ProgramKeeper {
 public:
  virtual ~ProgramKeeper() = default;
  // True once the old program is kept: the node may be erased.
  virtual bool Keep(const FirmwareImage& old) = 0;
  // The node's memory could not be read; true when the operator chose to go
  // on without keeping it.
  virtual bool GoOnUnread() = 0;
};
