#include "ControlClient.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "PollUntil.h"

std::optional<Surface> ControlClient::ReadPng(const std::string& path) {
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
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x, pixel += 3) surface.SetPixel(x, y, RGB(pixel[0], pixel[1], pixel[2]));
  return surface;
}

bool ControlClient::Send(const std::string& line, int timeoutMs) const {
  std::string text = line + "\n";
  return PollUntil(
      [&] {
        // Non-blocking: a FIFO nobody reads yet fails with ENXIO instead of hanging.
        int fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        bool whole = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        close(fd);
        return whole;
      },
      timeoutMs);
}

bool ControlClient::Touch(int x, int y) const { return Send("touch " + std::to_string(x) + " " + std::to_string(y)); }

std::optional<Surface> ControlClient::Screenshot(const std::string& pngPath, int timeoutMs) const {
  std::error_code ignored;
  std::filesystem::remove(pngPath, ignored);
  if (!Send("screenshot " + pngPath, timeoutMs) || !PollUntil([&] { return std::filesystem::exists(pngPath); }, timeoutMs))
    return std::nullopt;
  return ReadPng(pngPath);
}
