#!/usr/bin/env python3
"""Draws the demo's face.bmp: a banner for the top of the main dialog (384 x 151, 24-bit).

Usage: make_face.py OUT.bmp
"""
import struct
import sys

WIDTH, HEIGHT = 384, 151

# A 5x7 pixel font for the few letters of the banner's title.
FONT = {
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    " ": ["00000"] * 7,
}
TITLE = "HELLO DEMO"
SCALE = 5


def title_pixel(x, y):
    left = (WIDTH - len(TITLE) * 6 * SCALE) // 2
    top = 40
    col, row = (x - left) // SCALE, (y - top) // SCALE
    if not (0 <= row < 7 and 0 <= col < len(TITLE) * 6):
        return False
    glyph, dx = TITLE[col // 6], col % 6
    return dx < 5 and FONT[glyph][row][dx] == "1"


def colour(x, y):
    if title_pixel(x, y):
        return (255, 255, 255)
    if y >= 112 and abs((x - WIDTH / 2) / 150) + abs((y - 131) / 12) < 1:
        return (240, 200, 90)  # a lozenge under the title
    t = x / (WIDTH - 1)
    s = y / (HEIGHT - 1)
    return (int(40 + 60 * s), int(70 + 50 * t), int(150 + 90 * (1 - s)))  # blue-violet gradient


def main():
    row_size = (WIDTH * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = colour(x, y)
            row += bytes((b, g, r))
        pixels += row + b"\0" * (row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(sys.argv[1], "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main()
