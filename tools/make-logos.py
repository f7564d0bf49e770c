#!/usr/bin/env python3
"""Draws the logo bitmaps of the resource collection and the program's icon.

    resources/img/trv-logo.bmp        27 x 33, the product mark shown in the window header
    resources/img/trv-logo@2x.bmp     54 x 66, the same for screens of twice the density
    resources/img/kelmor-logo.bmp     200 x 33, the maker's word mark
    resources/img/kelmor-logo@2x.bmp  400 x 66
    packaging/trvloader.svg           the icon of the menu entry (64 x 64 units)
    resources/icons/trvloader-N.png   the same icon at N x N pixels, the window's icon

The bitmaps are 24-bit Windows bitmaps, the icons PNG files with transparency,
all drawn pixel by pixel from the shapes below, so running the script again
reproduces the committed files byte for byte. The toolkit picks a bitmap named
"@2x" by itself where the screen has twice the usual density.
"""

import os
import struct
import zlib

GOLD = (245, 177, 1)
PALE_GOLD = (247, 224, 157)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
DARK = (40, 40, 40)

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


class Canvas:
    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def cover(self, x, y, colour, coverage):
        """Lays colour over the pixel at (x, y), covering the given share of it."""
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        old = self.pixels[y][x]
        self.pixels[y][x] = tuple(round(o + (c - o) * coverage) for o, c in zip(old, colour))

    def bmp(self):
        """The picture as a Windows bitmap, 24 bits per pixel, rows bottom-up."""
        row_size = (self.width * 3 + 3) // 4 * 4
        image = bytearray()
        for y in reversed(range(self.height)):
            row = bytearray()
            for r, g, b in self.pixels[y]:
                row += bytes((b, g, r))
            row += bytes(row_size - len(row))
            image += row
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0,
                           len(image), 2835, 2835, 0, 0)
        header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
        return header + info + bytes(image)


def rounded_box_coverage(x, y, box, radius, samples):
    """The share of the pixel at (x, y) inside box = (left, top, right, bottom)
    with corners rounded by radius, from samples x samples points."""
    left, top, right, bottom = box
    inside = 0
    for sy in range(samples):
        py = y + (sy + 0.5) / samples
        if not top <= py < bottom:
            continue
        for sx in range(samples):
            px = x + (sx + 0.5) / samples
            if not left <= px < right:
                continue
            # Distance into the corner's square, measured from its circle's centre.
            dx = max(left + radius - px, px - (right - radius), 0)
            dy = max(top + radius - py, py - (bottom - radius), 0)
            if dx * dx + dy * dy <= radius * radius:
                inside += 1
    return inside / (samples * samples)


def fill_box(canvas, box, colour, radius=0, samples=4):
    """Fills box = (left, top, right, bottom), in pixels and fractions of them,
    its edges smoothed where they cut through a pixel."""
    left, top, right, bottom = box
    for y in range(int(top), min(canvas.height, int(bottom) + 1)):
        for x in range(int(left), min(canvas.width, int(right) + 1)):
            canvas.cover(x, y, colour, rounded_box_coverage(x, y, box, radius, samples))


def product_mark():
    """A gold key cap with a pale 'T' cut into it and three black keys below."""
    c = Canvas(27, 33, BLACK)
    c.rect(2, 2, 24, 30, GOLD)
    for x, y in ((2, 2), (24, 2), (2, 30), (24, 30)):  # rounded corners
        c.set(x, y, BLACK)
    c.rect(6, 6, 20, 9, PALE_GOLD)  # the bar of the T
    c.rect(12, 10, 14, 19, PALE_GOLD)  # its stem
    for x in (5, 12, 19):  # three keys along the bottom edge
        c.rect(x, 23, x + 2, 30, DARK)
    return c


def product_mark_at(scale):
    """The product mark at scale times its size: the same shapes, with the key
    cap's corners rounded smoothly rather than cut by a pixel."""
    c = Canvas(27 * scale, 33 * scale, BLACK)

    def box(x0, y0, x1, y1):  # pixel cells of the small mark, both corners included
        return (x0 * scale, y0 * scale, (x1 + 1) * scale, (y1 + 1) * scale)

    fill_box(c, box(2, 2, 24, 30), GOLD, radius=1.5 * scale)
    fill_box(c, box(6, 6, 20, 9), PALE_GOLD)
    fill_box(c, box(12, 10, 14, 19), PALE_GOLD)
    for x in (5, 12, 19):
        fill_box(c, box(x, 23, x + 2, 30), DARK)
    return c


# A 5 x 7 pixel alphabet, just the letters the word mark needs.
LETTERS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
}


def maker_mark(scale=1):
    """The word KELMOR in gold block letters on black, underlined in white."""
    c = Canvas(200 * scale, 33 * scale, BLACK)
    block = 3
    word = "KELMOR"
    advance = 6 * block + 6
    left = (200 - (len(word) * advance - 6)) // 2
    top = 4
    for index, letter in enumerate(word):
        for row, line in enumerate(LETTERS[letter]):
            for column, cell in enumerate(line):
                if cell == "X":
                    x = (left + index * advance + column * block) * scale
                    y = (top + row * block) * scale
                    c.rect(x, y, x + block * scale - 1, y + block * scale - 1, GOLD)
    c.rect(left * scale, 28 * scale, (200 - left) * scale - 1, 30 * scale - 1, WHITE)
    return c


# The icon, in the units of its 64 x 64 view box: an amber tile with a pale T
# and three dark keys, like the product mark.
ICON_SHAPES = (
    # x, y, width, height, corner radius, colour
    (6, 2, 52, 60, 8, "#f5b101"),
    (14, 11, 36, 8, 0, "#f7e09d"),
    (27, 19, 10, 24, 0, "#f7e09d"),
    (13, 46, 8, 16, 0, "#222222"),
    (28, 46, 8, 16, 0, "#222222"),
    (43, 46, 8, 16, 0, "#222222"),
)


def icon_svg():
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             "<!-- The tool's icon: the header logo's amber tile with its T and three keys. -->",
             '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">']
    for x, y, width, height, radius, colour in ICON_SHAPES:
        corners = f' rx="{radius}" ry="{radius}"' if radius else ""
        lines.append(f'  <rect x="{x}" y="{y}" width="{width}" height="{height}"{corners} '
                     f'fill="{colour}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def icon_png(size):
    """The icon at size x size pixels as a PNG file with an alpha channel."""
    unit = size / 64
    # Colour and opacity kept apart, as premultiplied sums, so that the tile's
    # smoothed edge blends into transparency rather than into black.
    red = [[0.0] * size for _ in range(size)]
    green = [[0.0] * size for _ in range(size)]
    blue = [[0.0] * size for _ in range(size)]
    alpha = [[0.0] * size for _ in range(size)]
    samples = 8 if size <= 64 else 4
    for x0, y0, width, height, radius, colour in ICON_SHAPES:
        rgb = tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))
        box = (x0 * unit, y0 * unit, (x0 + width) * unit, (y0 + height) * unit)
        for y in range(int(box[1]), min(size, int(box[3]) + 1)):
            for x in range(int(box[0]), min(size, int(box[2]) + 1)):
                share = rounded_box_coverage(x, y, box, radius * unit, samples)
                if share <= 0:
                    continue
                red[y][x] = rgb[0] * share + red[y][x] * (1 - share)
                green[y][x] = rgb[1] * share + green[y][x] * (1 - share)
                blue[y][x] = rgb[2] * share + blue[y][x] * (1 - share)
                alpha[y][x] = share + alpha[y][x] * (1 - share)
    rows = bytearray()
    for y in range(size):
        rows.append(0)  # no filter
        for x in range(size):
            a = alpha[y][x]
            if a <= 0:
                rows += bytes(4)
            else:
                rows += bytes((round(red[y][x] / a), round(green[y][x] / a),
                               round(blue[y][x] / a), round(a * 255)))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    images = os.path.join(root, "resources", "img")
    icons = os.path.join(root, "resources", "icons")
    os.makedirs(images, exist_ok=True)
    os.makedirs(icons, exist_ok=True)
    pictures = (
        ("trv-logo.bmp", product_mark()),
        ("trv-logo@2x.bmp", product_mark_at(2)),
        ("kelmor-logo.bmp", maker_mark()),
        ("kelmor-logo@2x.bmp", maker_mark(2)),
    )
    for name, canvas in pictures:
        with open(os.path.join(images, name), "wb") as out:
            out.write(canvas.bmp())
    with open(os.path.join(root, "packaging", "trvloader.svg"), "w", encoding="utf-8") as out:
        out.write(icon_svg())
    for size in ICON_SIZES:
        with open(os.path.join(icons, f"trvloader-{size}.png"), "wb") as out:
            out.write(icon_png(size))


if __name__ == "__main__":
    main()
