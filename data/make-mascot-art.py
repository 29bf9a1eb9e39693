#!/usr/bin/env python3
"""Draws the bundled mascot's picture as an RGBA PNG: a round sun with a soft, anti-aliased edge,
a drop shadow below and to the right, two eyes and a plate that the digital clock sits on.

The alpha is the point of it. On a desktop that composites windows, the edge blends into the
desktop and the shadow darkens it; the pointer reaches the window only where the alpha is at least
half. Without a compositor the window is cut at that same half, with hard edges. Run it from
anywhere; it writes mascot.dat/mascot.png beside itself. Python's standard library only.
"""
import math
import os
import struct
import zlib

SIDE = 160
CENTRE = (74.0, 72.0)
RADIUS = 62.0
RIM = 3.0
SHADOW_OFFSET = (7.0, 9.0)
SHADOW_SOFTNESS = 12.0  # the shadow fades out over this many pixels around its edge
SHADOW_ALPHA = 0.45
# The plate under the digital time; its place in start.nbm: left 34, top 90, 80 x 26.
PLATE = (34.0, 90.0, 114.0, 116.0)
PLATE_CORNER = 6.0
EYES = [(52.0, 55.0), (96.0, 55.0)]
EYE_SIZE = (7.0, 9.5)
SAMPLES = 4  # per side: 16 samples a pixel

TOP = (255, 222, 120)
BOTTOM = (244, 158, 56)
RIM_COLOUR = (196, 104, 36)
EYE = (62, 40, 28)
PLATE_FILL = (255, 249, 232)
PLATE_BORDER = (196, 104, 36)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def in_rounded_rect(x, y, rect, corner):
    left, top, right, bottom = rect
    cx = min(max(x, left + corner), right - corner)
    cy = min(max(y, top + corner), bottom - corner)
    return math.hypot(x - cx, y - cy) <= corner


def colour_at(x, y):
    """The sun's colour at a point inside it."""
    d = math.hypot(x - CENTRE[0], y - CENTRE[1])
    if d > RADIUS - RIM:
        return RIM_COLOUR
    for ex, ey in EYES:
        if ((x - ex) / EYE_SIZE[0]) ** 2 + ((y - ey) / EYE_SIZE[1]) ** 2 <= 1.0:
            # A small highlight in each eye.
            if math.hypot(x - ex + 2.0, y - ey + 3.5) <= 2.2:
                return (255, 255, 255)
            return EYE
    if in_rounded_rect(x, y, PLATE, PLATE_CORNER):
        inner = (PLATE[0] + 1.5, PLATE[1] + 1.5, PLATE[2] - 1.5, PLATE[3] - 1.5)
        return PLATE_FILL if in_rounded_rect(x, y, inner, PLATE_CORNER - 1.5) else PLATE_BORDER
    t = (y - (CENTRE[1] - RADIUS)) / (2 * RADIUS)
    return mix(TOP, BOTTOM, min(max(t, 0.0), 1.0))


def sun(px, py):
    """The sun over the pixel: straight colour and coverage from SAMPLES x SAMPLES points."""
    total = [0.0, 0.0, 0.0]
    inside = 0
    for j in range(SAMPLES):
        for i in range(SAMPLES):
            x = px + (i + 0.5) / SAMPLES
            y = py + (j + 0.5) / SAMPLES
            if math.hypot(x - CENTRE[0], y - CENTRE[1]) <= RADIUS:
                c = colour_at(x, y)
                for k in range(3):
                    total[k] += c[k]
                inside += 1
    if inside == 0:
        return (0.0, 0.0, 0.0), 0.0
    return tuple(v / inside for v in total), inside / (SAMPLES * SAMPLES)


def shadow(px, py):
    d = math.hypot(px + 0.5 - CENTRE[0] - SHADOW_OFFSET[0], py + 0.5 - CENTRE[1] - SHADOW_OFFSET[1])
    t = min(max((RADIUS + SHADOW_SOFTNESS / 2 - d) / SHADOW_SOFTNESS, 0.0), 1.0)
    return SHADOW_ALPHA * t * t * (3 - 2 * t)


def pixel(px, py):
    colour, a = sun(px, py)
    below = shadow(px, py)  # black
    alpha = a + below * (1 - a)
    if alpha <= 0:
        return (0, 0, 0, 0)
    # Straight "over": the shadow is black, so only the sun's share of the colour remains.
    straight = [c * a / alpha for c in colour]
    return tuple(int(round(v)) for v in straight) + (int(round(alpha * 255)),)


def png_bytes(width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(channel for p in row for channel in p) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    rows = [[pixel(x, y) for x in range(SIDE)] for y in range(SIDE)]
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "mascot.dat")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "mascot.png"), "wb") as out:
        out.write(png_bytes(SIDE, SIDE, rows))


if __name__ == "__main__":
    main()
