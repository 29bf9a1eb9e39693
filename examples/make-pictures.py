#!/usr/bin/env python3
"""Draws the pictures of the example documents and writes them as 8-bit BMP files beside them.

Everything is drawn with whole palette indices (no smoothing), so a mascot's shape follows the
pixels exactly: index 0 is the key colour and fills the top-left corner, which the program
leaves out of a mascot window. Run it from anywhere; it writes into the folders beside it.
Only the standard library is used.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Picture:
    def __init__(self, width, height, palette):
        self.width = width
        self.height = height
        self.palette = palette
        self.pixels = [[0] * width for _ in range(height)]

    def put(self, x, y, index):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = index

    def ellipse(self, cx, cy, rx, ry, index):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                dx = (x + 0.5 - cx) / rx
                dy = (y + 0.5 - cy) / ry
                if dx * dx + dy * dy <= 1.0:
                    self.put(x, y, index)

    def rect(self, left, top, right, bottom, index):
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, index)

    def rounded(self, left, top, right, bottom, radius, index):
        self.rect(left + radius, top, right - radius, bottom, index)
        self.rect(left, top + radius, right, bottom - radius, index)
        for cx, cy in ((left + radius, top + radius), (right - radius, top + radius),
                       (left + radius, bottom - radius), (right - radius, bottom - radius)):
            self.ellipse(cx, cy, radius, radius, index)

    def polygon(self, points, index):
        top = int(min(p[1] for p in points))
        bottom = int(max(p[1] for p in points)) + 1
        left = int(min(p[0] for p in points))
        right = int(max(p[0] for p in points)) + 1
        for y in range(top, bottom):
            for x in range(left, right):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, index)

    def line(self, x0, y0, x1, y1, width, index):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) * 2 + 1
        for step in range(steps + 1):
            t = step / steps
            self.ellipse(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, width / 2, index)

    def save(self, path):
        row = (self.width + 3) & ~3
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in self.palette)
        palette += b"\0" * (4 * 256 - len(palette))
        rows = b"".join(bytes(self.pixels[y]) + b"\0" * (row - self.width)
                        for y in range(self.height - 1, -1, -1))
        offset = 14 + 40 + len(palette)
        header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
        with open(path, "wb") as out:
            out.write(header + info + palette + rows)


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


KEY = (255, 0, 255)
INK = (28, 36, 72)
BLUE = (70, 130, 220)
LIGHT = (150, 195, 250)
WHITE = (255, 255, 255)
YELLOW = (255, 206, 40)
SCREEN = (16, 32, 40)
PINK = (250, 150, 170)
GREY = (200, 204, 214)
PAGE = (244, 246, 251)


def mascot():
    """Nimbolt: a round blue robot with a lightning bolt on its antenna and a display on its belly."""
    palette = [KEY, INK, BLUE, LIGHT, WHITE, YELLOW, SCREEN, PINK]
    p = Picture(160, 184, palette)
    # Antenna and bolt.
    p.line(80, 40, 80, 22, 4, 1)
    bolt = [(84, 0), (68, 16), (78, 16), (72, 30), (92, 11), (81, 11), (88, 0)]
    p.polygon([(x - 1, y) for x, y in bolt], 1)
    p.polygon([(x + 1, y + 1) for x, y in bolt], 1)
    p.polygon(bolt, 5)
    # Feet, then the body over them.
    p.ellipse(52, 174, 20, 10, 1)
    p.ellipse(108, 174, 20, 10, 1)
    p.ellipse(52, 173, 17, 7, 2)
    p.ellipse(108, 173, 17, 7, 2)
    p.ellipse(80, 104, 72, 68, 1)
    p.ellipse(80, 104, 69, 65, 2)
    p.ellipse(60, 72, 26, 16, 3)
    # Eyes and cheeks.
    for cx in (55, 105):
        p.ellipse(cx, 78, 13, 15, 1)
        p.ellipse(cx, 78, 11, 13, 4)
        p.ellipse(cx + 2, 81, 5, 6, 1)
    p.ellipse(36, 100, 7, 4, 7)
    p.ellipse(124, 100, 7, 4, 7)
    # The display the clock is written on: 100 x 36 at (30, 114).
    p.rounded(28, 112, 132, 152, 6, 1)
    p.rounded(30, 114, 130, 150, 5, 6)
    return p


def dial():
    """A round dial of 120 x 120 with twelve marks, a lighter rim and a centre cap."""
    palette = [KEY, INK, WHITE, GREY, BLUE, YELLOW]
    p = Picture(120, 120, palette)
    p.ellipse(60, 60, 60, 60, 1)
    p.ellipse(60, 60, 56, 56, 4)
    p.ellipse(60, 60, 52, 52, 2)
    for hour in range(12):
        angle = math.pi / 6 * hour
        outer = 49
        inner = 41 if hour % 3 == 0 else 45
        width = 4 if hour % 3 == 0 else 2
        p.line(60 + inner * math.sin(angle), 60 - inner * math.cos(angle),
               60 + outer * math.sin(angle), 60 - outer * math.cos(angle), width, 1 if hour % 3 == 0 else 3)
    return p


def button():
    """A button of 90 x 28 in two halves, the idle look on the left and the pressed one right,
    on the colour of the page it is shown on."""
    palette = [PAGE, INK, BLUE, LIGHT, YELLOW]
    p = Picture(180, 28, palette)
    p.rounded(0, 0, 90, 28, 6, 1)
    p.rounded(2, 2, 88, 26, 5, 3)
    p.rounded(90, 0, 180, 28, 6, 1)
    p.rounded(92, 2, 178, 26, 5, 4)
    return p


def main():
    pictures = {
        "first-mascot/nimbolt.bmp": mascot(),
        "clock-face/dial.bmp": dial(),
        "click/button.bmp": button(),
    }
    for name, picture in pictures.items():
        path = os.path.join(HERE, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        picture.save(path)
        print("wrote", os.path.relpath(path, os.path.dirname(HERE)))


if __name__ == "__main__":
    main()
