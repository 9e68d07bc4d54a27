#!/usr/bin/env python3
"""Draws the installer's icon: a blue box with a white arrow into it, at 16, 32 and 48 pixels.

Usage: make_icon.py OUT.ico
"""
import struct
import sys


def pixel(x, y, size):
    """BGRA of one pixel; the drawing is defined on a 0..1 square."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    inside_box = 0.12 <= u <= 0.88 and 0.38 <= v <= 0.90
    lid = 0.12 <= u <= 0.88 and 0.34 <= v < 0.42
    shaft = 0.42 <= u <= 0.58 and 0.06 <= v <= 0.52
    head = 0.30 <= u <= 0.70 and 0.40 <= v <= 0.66 and abs(u - 0.5) <= (0.66 - v) * 0.9
    if shaft or head:
        return (255, 255, 255, 255)
    if lid:
        return (140, 70, 20, 255)
    if inside_box:
        shade = int(200 - 80 * v)
        return (shade, int(shade * 0.55), 30, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up, as BMP stores it
        rows.append(b"".join(bytes(pixel(x, y, size)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\0" * (mask_row * size)  # the alpha channel decides transparency
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask),
                         0, 0, 0, 0)
    return header + xor + andmask


def main():
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
