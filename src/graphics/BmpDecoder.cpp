#include "graphics/BmpDecoder.h"

namespace {

constexpr int kMaxSide = 8192;  // far beyond any picture of a 480 x 640 screen
constexpr uint32_t kUncompressed = 0;

}  // namespace

std::optional<Surface> BmpDecoder::DecodeFile(const unsigned char* data, size_t size) {
  const BmpDecoder decoder(data, size);
  uint32_t pixelOffset = 0;
  Header header;
  if (!data || size < 14 || data[0] != 'B' || data[1] != 'M' || !decoder.Read32(10, pixelOffset) ||
      !decoder.ReadHeader(14, false, header)) {
    return std::nullopt;
  }
  header.pixelOffset = pixelOffset;
  return decoder.DecodePixels(header);
}

std::optional<Surface> BmpDecoder::DecodeIcon(const unsigned char* data, size_t size) {
  const BmpDecoder decoder(data, size);
  uint32_t reserved = 0, type = 0, count = 0, imageOffset = 0;
  Header header;
  if (!data || !decoder.Read16(0, reserved) || !decoder.Read16(2, type) || !decoder.Read16(4, count) ||
      reserved != 0 || type != 1 || count == 0 || !decoder.Read32(6 + 12, imageOffset) ||
      !decoder.ReadHeader(imageOffset, true, header)) {
    return std::nullopt;
  }
  header.pixelOffset = header.paletteOffset + header.paletteCount * header.paletteEntry;
  std::optional<Surface> image = decoder.DecodePixels(header);
  if (image) decoder.ApplyMask(header, *image);
  return image;
}

bool BmpDecoder::Read16(size_t at, uint32_t& value) const {
  if (!Fits(at, 2)) return false;
  value = data_[at] | static_cast<uint32_t>(data_[at + 1]) << 8;
  return true;
}

bool BmpDecoder::Read32(size_t at, uint32_t& value) const {
  uint32_t low = 0, high = 0;
  if (!Read16(at, low) || !Read16(at + 2, high)) return false;
  value = low | high << 16;
  return true;
}

// An icon's header counts the colour rows and the mask rows together.
bool BmpDecoder::ReadHeader(size_t at, bool icon, Header& header) const {
  uint32_t headerSize = 0, width = 0, height = 0, bits = 0, compression = kUncompressed, used = 0;
  if (!Read32(at, headerSize)) return false;
  const bool core = headerSize == 12;
  if (core) {
    if (!Read16(at + 4, width) || !Read16(at + 6, height) || !Read16(at + 10, bits)) return false;
  } else if (headerSize < 40 || !Read32(at + 4, width) || !Read32(at + 8, height) || !Read16(at + 14, bits) ||
             !Read32(at + 16, compression) || !Read32(at + 32, used)) {
    return false;
  }
  int signedHeight = core ? static_cast<int>(height) : static_cast<int32_t>(height);
  if (icon) signedHeight /= 2;
  header.topDown = signedHeight < 0;
  header.width = static_cast<int32_t>(width);
  header.height = signedHeight < 0 ? -signedHeight : signedHeight;
  header.bits = static_cast<int>(bits);
  const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
  if (!knownDepth || compression != kUncompressed || header.width <= 0 || header.width > kMaxSide ||
      header.height <= 0 || header.height > kMaxSide) {
    return false;
  }
  const size_t fullPalette = bits <= 8 ? size_t{1} << bits : 0;
  header.paletteCount = used != 0 && used < fullPalette ? used : fullPalette;
  header.paletteEntry = core ? 3 : 4;
  header.paletteOffset = at + headerSize;
  return Fits(header.paletteOffset, header.paletteCount * header.paletteEntry);
}

size_t BmpDecoder::Stride(int width, int bits) { return (static_cast<size_t>(width) * bits + 31) / 32 * 4; }

std::optional<Surface> BmpDecoder::DecodePixels(const Header& header) const {
  const size_t stride = Stride(header.width, header.bits);
  if (!Fits(header.pixelOffset, stride * header.height)) return std::nullopt;
  Surface image(header.width, header.height);
  for (int y = 0; y < header.height; ++y) {
    const int stored = header.topDown ? y : header.height - 1 - y;
    const unsigned char* row = data_ + header.pixelOffset + stride * stored;
    uint32_t* target = image.Row(y);
    for (int x = 0; x < header.width; ++x) target[x] = PixelAt(header, row, x);
  }
  return image;
}

uint32_t BmpDecoder::PixelAt(const Header& header, const unsigned char* row, int x) const {
  if (header.bits >= 24) {
    const unsigned char* p = row + static_cast<size_t>(x) * (header.bits / 8);
    return RGB(p[2], p[1], p[0]);
  }
  const int perByte = 8 / header.bits;
  const int shift = 8 - header.bits * (x % perByte + 1);
  const size_t index = (row[x / perByte] >> shift) & ((1u << header.bits) - 1);
  if (index >= header.paletteCount) return RGB(0, 0, 0);  // as the console shows a stray index
  const unsigned char* entry = data_ + header.paletteOffset + index * header.paletteEntry;
  return RGB(entry[2], entry[1], entry[0]);
}

// The 1-bit mask follows the colour rows; a set bit is transparent. An icon
// without room for its mask is shown fully opaque.
void BmpDecoder::ApplyMask(const Header& header, Surface& image) const {
  const size_t stride = Stride(header.width, 1);
  const size_t maskOffset = header.pixelOffset + Stride(header.width, header.bits) * header.height;
  const bool hasMask = Fits(maskOffset, stride * header.height);
  for (int y = 0; y < header.height; ++y) {
    const int stored = header.topDown ? y : header.height - 1 - y;
    const unsigned char* mask = hasMask ? data_ + maskOffset + stride * stored : nullptr;
    uint32_t* target = image.Row(y);
    for (int x = 0; x < header.width; ++x) {
      const bool transparent = mask && ((mask[x / 8] >> (7 - x % 8)) & 1) != 0;
      target[x] = (target[x] & 0x00FFFFFF) | (transparent ? 0 : 0xFF000000u);
    }
  }
}
