#!/usr/bin/env python3
"""Draws the pictures of the options dialog and writes them as files:

  Languages/English.ico  the flag of England (St George's cross)
  Languages/uk.ico       the flag of the United Kingdom, shown over English.ico when both exist
  Languages/German.ico   black, red and gold stripes
  Languages/Russian.ico  white, blue and red stripes
  ui/logo.bmp            the About page's logo, 171 x 63 pixels, 24 bits

Each icon is one 16 x 16 image of 32 bits with its mask: the flag fills 16 x 11 pixels from the
second row, the rest is transparent (the language list draws the icon 6 pixels below a row's
top). Everything is drawn here from code; run it from anywhere:  python3 scripts/make_icons.py
"""

import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

ICON_SIZE = 16
FLAG_TOP, FLAG_HEIGHT = 1, 11

RED = (200, 16, 46)
WHITE = (255, 255, 255)
BLUE = (1, 33, 105)
BLACK = (0, 0, 0)
GOLD = (255, 206, 0)
RUSSIAN_BLUE = (0, 57, 166)
RUSSIAN_RED = (213, 43, 30)


def stripes(colors):
    """A flag of horizontal stripes of equal height: (x, y) -> colour."""
    def pixel(_x, y):
        return colors[min(y * len(colors) // FLAG_HEIGHT, len(colors) - 1)]
    return pixel


def england(x, y):
    return RED if x in (7, 8) or y in (4, 5, 6) else WHITE


def united_kingdom(x, y):
    # Diagonals first (white with a red middle), then the white-edged red cross on top.
    w, h = ICON_SIZE - 1, FLAG_HEIGHT - 1
    length = (w * w + h * h) ** 0.5
    on_diagonal = min(abs(x * h - y * w), abs(x * h - (h - y) * w)) / length  # in pixels
    color = BLUE
    if on_diagonal < 1.5:
        color = WHITE
    if on_diagonal < 0.5:
        color = RED
    if x in (6, 9) or y in (3, 7):
        color = WHITE
    if x in (7, 8) or y in (4, 5, 6):
        color = RED
    return color


def icon_bytes(flag):
    """An .ico file of one 16 x 16, 32-bit image: the flag with a transparent margin."""
    xor = bytearray()
    mask = bytearray()
    for row in reversed(range(ICON_SIZE)):  # bottom-up, as bitmaps are stored
        mask_bits = 0
        for x in range(ICON_SIZE):
            y = row - FLAG_TOP
            if 0 <= y < FLAG_HEIGHT:
                red, green, blue = flag(x, y)
                xor += bytes((blue, green, red, 255))
            else:
                xor += bytes((0, 0, 0, 0))
                mask_bits |= 1 << (31 - x)  # 1: transparent
        mask += struct.pack(">I", mask_bits)  # rows of the mask are padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# ---- The logo ---------------------------------------------------------------------------------

LOGO_WIDTH, LOGO_HEIGHT = 171, 63

# 5 x 7 letters of the name, one string per row, "#" for ink.
GLYPHS = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "t": ["..#..", "..#..", "#####", "..#..", "..#..", "..#.#", "...#."],
}


def logo_pixels():
    """Rows of (r, g, b), top first: a quill beside the name, on a white ground."""
    ink = (30, 60, 120)
    feather = (0, 113, 225)
    pixels = [[WHITE] * LOGO_WIDTH for _ in range(LOGO_HEIGHT)]

    def plot(x, y, color):
        if 0 <= x < LOGO_WIDTH and 0 <= y < LOGO_HEIGHT:
            pixels[y][x] = color

    # The quill: a feather along a slanted shaft, its nib at the bottom left.
    for step in range(48):
        x, y = 8 + step * 26 // 47, 56 - step
        plot(x, y, ink)
        width = 0 if step < 10 else min(step - 10, 9, (47 - step) * 2 // 3)
        for side in range(-(width // 2), width + 1):
            plot(x + side, y, feather)
        plot(x, y, ink)
    # The name, each letter pixel a 3 x 3 block, then a line of ink under it.
    scale, left, top = 3, 50, 16
    for index, letter in enumerate("Quillet"):
        for row, bits in enumerate(GLYPHS[letter]):
            for column, bit in enumerate(bits):
                if bit != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        plot(left + index * 6 * scale + column * scale + dx,
                             top + row * scale + dy, ink)
    for x in range(left, left + 7 * 6 * scale - scale):
        plot(x, top + 7 * scale + 5, feather)
    return pixels


def bmp_bytes(pixels):
    """A 24-bit BMP file of the rows (top first)."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for red, green, blue in row:
            line += bytes((blue, green, red))
        data += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return file_header + info + bytes(data)


def write(relative, data):
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)
    print(f"{relative}: {len(data)} bytes")


def main():
    write("Languages/English.ico", icon_bytes(england))
    write("Languages/uk.ico", icon_bytes(united_kingdom))
    write("Languages/German.ico", icon_bytes(stripes([BLACK, RED, GOLD])))
    write("Languages/Russian.ico", icon_bytes(stripes([WHITE, RUSSIAN_BLUE, RUSSIAN_RED])))
    write("ui/logo.bmp", bmp_bytes(logo_pixels()))


if __name__ == "__main__":
    main()
