// Any bytes as the content of a hex file, through the reader's one parser:
// it must end with a result, store nothing outside the 32 KB image and keep
// the image end inside it.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/IntelHexReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // On the heap, so that a write past its end meets the address checker.
  std::vector<uint8_t> image(kNodeMemorySize, 0xFF);
  uint16_t end = 0;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  IntelHexReader(std::span<uint8_t, kNodeMemorySize>(image.data(), kNodeMemorySize), end).Read(in);
  if (end > kNodeMemorySize) std::abort();
  return 0;
}
