#!/usr/bin/env python3
"""Draws the two logo bitmaps of the resource collection.

    resources/img/trv-logo.bmp     27 x 33, the product mark shown in the window header
    resources/img/kelmor-logo.bmp  200 x 33, the maker's word mark

Both are 24-bit Windows bitmaps, drawn pixel by pixel from the shapes below, so
running the script again reproduces the committed files byte for byte.
"""

import os
import struct

GOLD = (245, 177, 1)
PALE_GOLD = (247, 224, 157)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
DARK = (40, 40, 40)


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


# A 5 x 7 pixel alphabet, just the letters the word mark needs.
LETTERS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
}


def maker_mark():
    """The word KELMOR in gold block letters on black, underlined in white."""
    c = Canvas(200, 33, BLACK)
    scale = 3
    word = "KELMOR"
    advance = 6 * scale + 6
    left = (200 - (len(word) * advance - 6)) // 2
    top = 4
    for index, letter in enumerate(word):
        for row, line in enumerate(LETTERS[letter]):
            for column, cell in enumerate(line):
                if cell == "X":
                    x = left + index * advance + column * scale
                    y = top + row * scale
                    c.rect(x, y, x + scale - 1, y + scale - 1, GOLD)
    c.rect(left, 28, 200 - left - 1, 29, WHITE)
    return c


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "img")
    os.makedirs(folder, exist_ok=True)
    for name, canvas in (("trv-logo.bmp", product_mark()), ("kelmor-logo.bmp", maker_mark())):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(canvas.bmp())


if __name__ == "__main__":
    main()
