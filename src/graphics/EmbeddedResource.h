#pragma once

#include <cstddef>

// One resource file compiled into the program (res/), found by its number.
struct EmbeddedResource {
  int number;
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const unsigned kEmbeddedResourceCount;
