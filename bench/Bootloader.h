#pragma once

#include <cstdint>
#include <vector>

#include "link/CanMessage.h"

// A node's bootloader: what runs instead of the application while the node
// is being reprogrammed. Its flash outlives every restart; its session (what
// the console has asked for since the bootloader started) does not.
class Bootloader {
 public:
  virtual ~Bootloader() = default;
  // The bootloader starts: a new session on the same flash.
  virtual void Start() = 0;
  // Tells the bus that the bootloader is running.
  virtual void Announce() = 0;
  virtual void OnFrame(const CanMessage& message) = 0;
  // The flash holds a whole new application.
  virtual bool UpdateComplete() const = 0;
  // The flash bytes that a dump file holds.
  virtual std::vector<uint8_t> Image() const = 0;
};
