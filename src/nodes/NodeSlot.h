#pragma once

#include <atomic>
#include <cstdint>

// One node position the console knows in advance. The program number is
// written by the link's receive thread while the query runs and read by the
// screen and the programming thread, so it is atomic.
struct NodeSlot {
  static constexpr int kNameSize = 256;

  char name[kNameSize] = {};
  uint32_t number = 0;
  uint32_t requestIdentifier = 0;
  uint32_t responseIdentifier = 0;
  uint8_t flag = 0;
  std::atomic<uint32_t> program{0};  // 0 until the node answers a query
};
