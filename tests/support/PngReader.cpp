#include "PngReader.h"

#include <png.h>

#include <vector>

std::optional<Surface> PngReader::Read(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  Surface surface(static_cast<int>(image.width), static_cast<int>(image.height));
  const png_byte* pixel = rgb.data();
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x, pixel += 3) surface.SetPixel(x, y, RGB(pixel[0], pixel[1], pixel[2]));
  }
  return surface;
}
