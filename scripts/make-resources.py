#!/usr/bin/env python3
"""Writes the program's bitmaps and icon into res/.

bitmap129.bmp  64 x 64, 16 colours: button face, a white rounded square with a
               black outline
bitmap130.bmp  235 x 76, 256 colours: title picture, a tractor pulling an
               implement whose nodes hang on one bus, and a firmware chip
bitmap132.bmp  38 x 45, 16 colours: outlined arrow pointing up
bitmap133.bmp  37 x 44, 16 colours: outlined arrow pointing down
icon128.ico    32 x 32, 32-bit with mask: the firmware chip

Everything is drawn with plain shapes so the output is the same on every run.
"""

import math
import os
import struct
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


class Canvas:
    def __init__(self, width, height, fill=WHITE):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill_where(self, inside, colour, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                if inside(x + 0.5, y + 0.5):
                    self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self.fill_where(lambda x, y: True, colour, (x0, y0, x1, y1))

    def rounded_rect(self, x0, y0, x1, y1, radius, colour):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
        self.fill_where(inside, colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        self.fill_where(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0, colour)

    def polygon(self, points, colour):
        def inside(x, y):
            crossings = False
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                    crossings = not crossings
            return crossings
        self.fill_where(inside, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        length = math.hypot(x1 - x0, y1 - y0) or 1.0
        nx, ny = -(y1 - y0) / length * width / 2, (x1 - x0) / length * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], colour)


def palette_of(canvas, limit):
    colours = sorted({c for row in canvas.pixels for c in row})
    if len(colours) > limit:
        sys.exit(f"{len(colours)} colours do not fit a {limit}-colour bitmap")
    return colours + [BLACK] * (limit - len(colours))


def bmp_bytes(canvas, bits):
    palette = palette_of(canvas, 1 << bits)
    index = {c: i for i, c in reversed(list(enumerate(palette)))}
    stride = (canvas.width * bits + 31) // 32 * 4
    rows = []
    for row in reversed(canvas.pixels):
        indices = [index[c] for c in row]
        if bits == 4:
            indices += [0] * (len(indices) % 2)
            data = bytes(indices[i] << 4 | indices[i + 1] for i in range(0, len(indices), 2))
        else:
            data = bytes(indices)
        rows.append(data.ljust(stride, b"\0"))
    colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    pixel_offset = 14 + 40 + len(colour_table)
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, bits, 0, len(image),
                       2835, 2835, len(palette), 0)
    header = struct.pack("<2sIHHI", b"BM", pixel_offset + len(image), 0, 0, pixel_offset)
    return header + info + colour_table + image


def ico_bytes(canvas, transparent):
    size = canvas.width
    colour_rows = []
    mask_rows = []
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(canvas.pixels):
        colour_rows.append(b"".join(bytes((b, g, r, 0 if (r, g, b) == transparent else 255))
                                    for r, g, b in row))
        bits = 0
        for x, c in enumerate(row):
            if c == transparent:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask_rows.append(bits.to_bytes(mask_stride, "big"))
    image = b"".join(colour_rows) + b"".join(mask_rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(image), 0, 0, 0, 0)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(info) + len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + info + image


def button_face():
    c = Canvas(64, 64)
    c.rounded_rect(0, 0, 64, 64, 11, BLACK)
    c.rounded_rect(2, 2, 62, 62, 9, (160, 160, 160))
    c.rounded_rect(2, 2, 60, 60, 9, WHITE)
    return c


def arrow(width, height, up):
    c = Canvas(width, height)
    mid = width / 2
    head = height * 0.5
    shaft = width * 0.2

    def shape(inset):
        points = [(mid, 1 + inset * 1.6), (width - 1 - inset * 1.6, head - inset * 0.3),
                  (mid + shaft - inset, head - inset * 0.3), (mid + shaft - inset, height - 1 - inset),
                  (mid - shaft + inset, height - 1 - inset), (mid - shaft + inset, head - inset * 0.3),
                  (1 + inset * 1.6, head - inset * 0.3)]
        return points if up else [(x, height - y) for x, y in points]

    c.polygon(shape(0), BLACK)
    c.polygon(shape(2.2), (208, 224, 240))
    return c


def chip(c, x0, y0, size, arrow_colour):
    pin = max(1, size // 10)
    body = (48, 48, 56)
    for k in range(4):
        offset = x0 + size * (0.2 + 0.2 * k)
        c.rect(int(offset), y0, int(offset) + pin + 1, y0 + size, (176, 176, 184))
        c.rect(x0, int(y0 + size * (0.2 + 0.2 * k)), x0 + size, int(y0 + size * (0.2 + 0.2 * k)) + pin + 1,
               (176, 176, 184))
    c.rect(x0 + size // 6, y0 + size // 6, x0 + size - size // 6, y0 + size - size // 6, body)
    cx = x0 + size / 2
    top = y0 + size * 0.26
    bottom = y0 + size * 0.74
    half = size * 0.2
    c.polygon([(cx, top), (cx + half, top + half), (cx + half * 0.4, top + half),
               (cx + half * 0.4, bottom), (cx - half * 0.4, bottom), (cx - half * 0.4, top + half),
               (cx - half, top + half)], arrow_colour)


def title_picture():
    c = Canvas(235, 76)
    for y in range(76):  # sky fading towards the horizon
        shade = min(y, 44) * 2
        c.rect(0, y, 235, y + 1, (120 + shade, 170 + shade // 2, 230))
    c.ellipse(205, 14, 9, 9, (255, 214, 64))
    c.polygon([(0, 48), (60, 40), (140, 44), (235, 38), (235, 76), (0, 76)], (86, 150, 62))
    for k in range(6):  # furrows running to the horizon
        y = 52 + k * 4
        c.line(0, y, 235, y - 6 + k, 1.2, (66, 122, 48))
    # Implement: a toolbar on wheels with three nodes on one bus cable.
    c.rect(8, 44, 92, 49, (200, 90, 30))
    for x in (14, 50, 86):
        c.line(x, 49, x - 3, 60, 2, (90, 90, 90))
    for x in (20, 76):
        c.ellipse(x, 58, 5, 5, BLACK)
        c.ellipse(x, 58, 2, 2, (150, 150, 150))
    c.line(10, 38, 116, 38, 1.5, (255, 140, 0))
    for x in (18, 46, 74):
        c.rect(x, 33, x + 10, 43, (30, 30, 30))
        c.rect(x + 2, 35, x + 8, 41, (64, 200, 96))
        c.line(x + 5, 38, x + 5, 44, 1, (255, 140, 0))
    c.line(92, 47, 112, 47, 2, (60, 60, 60))
    # Tractor.
    c.polygon([(112, 50), (112, 36), (128, 36), (131, 24), (150, 24), (152, 36), (166, 38), (166, 50)],
              (200, 30, 30))
    c.rect(133, 27, 148, 35, (190, 225, 250))
    c.rect(157, 30, 159, 38, (60, 60, 60))
    c.ellipse(125, 52, 11, 11, BLACK)
    c.ellipse(125, 52, 5, 5, (220, 180, 40))
    c.ellipse(159, 56, 7, 7, BLACK)
    c.ellipse(159, 56, 3, 3, (220, 180, 40))
    # Firmware going up into the implement: the chip with its arrow.
    chip(c, 182, 34, 34, (64, 200, 96))
    return c


def icon():
    c = Canvas(32, 32, (255, 0, 255))
    c.rounded_rect(0, 0, 32, 32, 6, (86, 150, 62))
    chip(c, 3, 3, 26, (255, 214, 64))
    return c


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    outputs = {
        "bitmap129.bmp": bmp_bytes(button_face(), 4),
        "bitmap130.bmp": bmp_bytes(title_picture(), 8),
        "bitmap132.bmp": bmp_bytes(arrow(38, 45, True), 4),
        "bitmap133.bmp": bmp_bytes(arrow(37, 44, False), 4),
        "icon128.ico": ico_bytes(icon(), (255, 0, 255)),
    }
    for name, data in outputs.items():
        with open(os.path.join(res, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
