#!/usr/bin/env python3
"""Draws the main window's banner bitmaps (200 x 30) and its icon.

    scripts/draw-resources.py     (writes app/win32/res/)

Pure Python: a small pixel font spells the tool's name.  The results are
committed; run this again only to change the pictures.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "app", "win32", "res")

# 5 x 7 pixel glyphs, one string per row.
GLYPHS = {
    "V": ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    "e": [".....", ".....", ".XXX.", "X...X", "XXXXX", "X....", ".XXX."],
    "r": [".....", ".....", "X.XX.", "XX..X", "X....", "X....", "X...."],
    "g": [".....", ".XXXX", "X...X", "X...X", ".XXXX", "....X", ".XXX."],
    "l": [".XX..", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "3": ["XXXX.", "....X", "....X", ".XXX.", "....X", "....X", "XXXX."],
    ".": [".....", ".....", ".....", ".....", ".....", ".....", "..X.."],
    "0": [".XXX.", "X...X", "X..XX", "X.X.X", "XX..X", "X...X", ".XXX."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def canvas(width, height, colour):
    return [[colour for _ in range(width)] for _ in range(height)]


def text(pixels, x, y, s, colour, scale):
    for ch in s:
        glyph = GLYPHS[ch]
        for gy, row in enumerate(glyph):
            for gx, cell in enumerate(row):
                if cell == "X":
                    for dy in range(scale):
                        for dx in range(scale):
                            py, px = y + gy * scale + dy, x + gx * scale + dx
                            if 0 <= py < len(pixels) and 0 <= px < len(pixels[0]):
                                pixels[py][px] = colour
        x += 6 * scale


def gradient(pixels, top, bottom):
    h = len(pixels)
    for y, row in enumerate(pixels):
        c = tuple(int(top[i] + (bottom[i] - top[i]) * y / max(1, h - 1)) for i in range(3))
        for x in range(len(row)):
            row[x] = c


def bmp(pixels):
    """A 24-bit bottom-up BMP file."""
    h, w = len(pixels), len(pixels[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def ico(pixels):
    """A 32-bit icon with one image."""
    h, w = len(pixels), len(pixels[0])
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    and_mask = b"\0" * (mask_stride * h)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = info + bytes(xor) + and_mask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 6 + 16)
    return head + entry + image


def main():
    os.makedirs(OUT, exist_ok=True)
    # Banner 101: the name on a blue band.  Banner 102: the same, inverted.
    b1 = canvas(200, 30, (0, 0, 0))
    gradient(b1, (30, 70, 150), (10, 40, 100))
    text(b1, 8, 4, "Vergle", (255, 255, 255), 3)
    text(b1, 130, 14, "3.0", (200, 220, 255), 2)
    b2 = canvas(200, 30, (0, 0, 0))
    gradient(b2, (240, 240, 245), (210, 215, 230))
    text(b2, 8, 4, "Vergle", (20, 50, 120), 3)
    text(b2, 130, 14, "3.0", (60, 90, 160), 2)
    with open(os.path.join(OUT, "banner.bmp"), "wb") as f:
        f.write(bmp(b1))
    with open(os.path.join(OUT, "banner2.bmp"), "wb") as f:
        f.write(bmp(b2))
    # Icon 100: a "V" on a rounded blue square.
    size = 32
    icon = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]
    for y in range(size):
        for x in range(size):
            cx, cy = min(x, size - 1 - x), min(y, size - 1 - y)
            if cx + cy >= 3:
                icon[y][x] = (30, 70, 150, 255)
    rgb = [[p[:3] for p in row] for row in icon]
    text(rgb, 4, 2, "V", (255, 255, 255), 4)
    icon = [[rgb[y][x] + (icon[y][x][3],) for x in range(size)] for y in range(size)]
    with open(os.path.join(OUT, "vergle.ico"), "wb") as f:
        f.write(ico(icon))


if __name__ == "__main__":
    main()
