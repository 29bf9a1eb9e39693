#!/usr/bin/env python3
"""Draws the bundled clock's pictures as 8-bit indexed BMPs: the face, a round dial on a key
colour, and the plate the digital time sits on above the hands.

The window takes its shape from the face: every pixel whose index differs from the top-left
pixel's shows, so the corners (index 0) fall away and the window is round. Run it from anywhere;
it writes clock.dat/face.bmp and clock.dat/plate.bmp beside itself. Python's standard library
only.
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


# The plate under the digital time: drawn after the hands, so the minute hand never hides the
# digits.
# Its place in start.nbm: left 48, top 98.
PLATE_WIDTH, PLATE_HEIGHT = 64, 20


def plate_index_at(x, y):
    border = x in (0, PLATE_WIDTH - 1) or y in (0, PLATE_HEIGHT - 1)
    return 1 if border else 2


def bmp_bytes(width, height, index_of):
    stride = (width + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = bytes(index_of(x, y) for x in range(width))
        rows.append(row + b"\0" * (stride - width))
    pixels = b"".join(rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colours += b"\0" * (4 * (256 - len(PALETTE)))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return header + info + colours + pixels


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "clock.dat")
    for name, width, height, index_of in (("face.bmp", SIDE, SIDE, index_at),
                                          ("plate.bmp", PLATE_WIDTH, PLATE_HEIGHT, plate_index_at)):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(bmp_bytes(width, height, index_of))


if __name__ == "__main__":
    main()
