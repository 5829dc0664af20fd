#include "graphics/ResourceImage.h"

#include "graphics/BmpDecoder.h"
#include "graphics/EmbeddedResource.h"

namespace {

// Bitmaps and icons share one table; the file's own header tells them apart.
const EmbeddedResource* Find(int number, unsigned char firstByte) {
  for (unsigned i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& resource = kEmbeddedResources[i];
    if (resource.number == number && resource.size > 0 && resource.data[0] == firstByte) return &resource;
  }
  return nullptr;
}

}  // namespace

std::optional<Surface> ResourceImage::LoadBitmap(int number) {
  const EmbeddedResource* resource = Find(number, 'B');
  if (!resource) return std::nullopt;
  return BmpDecoder::DecodeFile(resource->data, resource->size);
}

std::optional<Surface> ResourceImage::LoadIcon(int number) {
  const EmbeddedResource* resource = Find(number, 0);
  if (!resource) return std::nullopt;
  return BmpDecoder::DecodeIcon(resource->data, resource->size);
}
