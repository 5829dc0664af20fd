#include "graphics/PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng reports errors by longjmp; nothing with a destructor may live
// between setjmp and the calls that can jump.
bool Encode(std::FILE* file, const Surface& surface, std::vector<png_byte>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, surface.Width(), surface.Height(), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < surface.Height(); ++y) {
    const uint32_t* pixels = surface.Row(y);
    for (int x = 0; x < surface.Width(); ++x) {
      row[3 * x] = static_cast<png_byte>(RedOf(pixels[x]));
      row[3 * x + 1] = static_cast<png_byte>(GreenOf(pixels[x]));
      row[3 * x + 2] = static_cast<png_byte>(BlueOf(pixels[x]));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool PngFile::Write(const std::string& path, const Surface& surface) {
  if (surface.Width() == 0 || surface.Height() == 0) return false;
  std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "screenshot: cannot write %s: %s\n", temporary.c_str(), std::strerror(errno));
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(surface.Width()) * 3);
  bool encoded = Encode(file, surface, row);
  bool closed = std::fclose(file) == 0;
  if (encoded && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::fprintf(stderr, "screenshot: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  std::remove(temporary.c_str());
  return false;
}
