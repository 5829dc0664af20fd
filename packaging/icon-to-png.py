#!/usr/bin/env python3
"""Writes the largest image of a Windows icon file as a PNG.

Usage: icon-to-png.py ICON.ico OUT.png

The desktop wants a PNG in the icon theme, while the program keeps its icon as
an .ico resource. Icon images are either embedded PNGs, copied as they are, or
32-bit bottom-up bitmaps with an AND mask: a pixel is transparent where its
mask bit is set, and otherwise takes its alpha byte (opaque when the bitmap
carries no alpha at all).
"""

import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def entries(icon):
    reserved, kind, count = struct.unpack_from("<HHH", icon, 0)
    if reserved != 0 or kind != 1:
        sys.exit("not an icon file")
    for i in range(count):
        width, height, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", icon, 6 + 16 * i)
        yield (width or 256) * (height or 256), icon[offset:offset + size]


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_of_bitmap(image):
    header_size, width, double_height, _, bits, compression = struct.unpack_from("<IiiHHI", image, 0)
    if bits != 32 or compression != 0:
        sys.exit(f"only 32-bit uncompressed icon images are supported, not {bits}-bit")
    height = double_height // 2
    pixels = image[header_size:header_size + 4 * width * height]
    mask_stride = (width + 31) // 32 * 4
    mask = image[header_size + len(pixels):]
    has_alpha = any(pixels[i] for i in range(3, len(pixels), 4))
    rows = []
    for y in range(height):
        source = height - 1 - y  # bottom-up
        row = bytearray(b"\0")  # filter: none
        for x in range(width):
            b, g, r, a = pixels[4 * (source * width + x):4 * (source * width + x) + 4]
            masked = mask[source * mask_stride + x // 8] >> (7 - x % 8) & 1
            row += bytes((r, g, b, 0 if masked else (a if has_alpha else 255)))
        rows.append(bytes(row))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[2])
    with open(sys.argv[1], "rb") as source:
        icon = source.read()
    _, image = max(entries(icon), key=lambda entry: entry[0])
    png = image if image.startswith(PNG_SIGNATURE) else png_of_bitmap(image)
    with open(sys.argv[2], "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main()
