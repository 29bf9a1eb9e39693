#!/usr/bin/env python3
"""Draws the bundled clock's face as an 8-bit indexed BMP: a round dial on a key colour.

The window takes its shape from the picture: every pixel whose index differs from the top-left
pixel's shows, so the corners (index 0) fall away and the window is round. Run it from anywhere;
it writes clock.dat/face.bmp beside itself. Python's standard library only.
"""
import math
import os
import struct

SIDE = 160
CENTRE = (SIDE - 1) / 2.0

# index: (red, green, blue)
PALETTE = [
    (255, 0, 255),   # 0 key: outside the dial, never shown
    (32, 58, 107),   # 1 rim and hour marks
    (251, 246, 228), # 2 dial
    (214, 200, 160), # 3 minute marks
    (70, 104, 160),  # 4 rim highlight
]


def index_at(x, y):
    dx = x - CENTRE
    dy = y - CENTRE
    r = math.hypot(dx, dy)
    if r > 79.5:
        return 0
    if r > 76.0:
        return 1
    if r > 73.5:
        return 4
    # Marks: twelve long ones for the hours, short ones for the minutes between.
    angle = math.atan2(dx, -dy) % (2 * math.pi)
    step = 2 * math.pi / 60
    nearest = round(angle / step)
    off = abs(angle - nearest * step) * r
    if nearest % 5 == 0 and 58.0 <= r <= 71.0 and off <= 2.6:
        return 1
    if nearest % 5 != 0 and 65.0 <= r <= 71.0 and off <= 1.0:
        return 3
    return 2


def bmp_bytes():
    stride = (SIDE + 3) & ~3
    rows = []
    for y in range(SIDE - 1, -1, -1):  # bottom-up rows
        row = bytes(index_at(x, y) for x in range(SIDE))
        rows.append(row + b"\0" * (stride - SIDE))
    pixels = b"".join(rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colours += b"\0" * (4 * (256 - len(PALETTE)))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIDE, SIDE, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return header + info + colours + pixels


def main():
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "clock.dat", "face.bmp")
    with open(target, "wb") as out:
        out.write(bmp_bytes())


if __name__ == "__main__":
    main()
