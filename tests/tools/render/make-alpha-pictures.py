#!/usr/bin/env python3
"""Writes the render tests' pictures with alpha as 8-bit RGBA PNGs, pixel values chosen by hand
(red, green, blue, alpha). Run it here; Python's standard library only."""
import os
import struct
import zlib

PICTURES = {
    # Half-opaque red, opaque green, transparent white.
    "alpha.png": [[(255, 0, 0, 128), (0, 255, 0, 255), (255, 255, 255, 0)]],
    # A mascot: the top row from transparent to opaque, the bottom row with a faint shadow pixel.
    "alpha-mascot.png": [
        [(9, 9, 9, 0), (200, 0, 0, 127), (0, 200, 0, 128), (0, 0, 200, 255)],
        [(50, 60, 70, 255), (10, 20, 30, 60), (90, 80, 70, 255), (1, 2, 3, 0)],
    ],
}


def png_bytes(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


here = os.path.dirname(os.path.abspath(__file__))
for name, rows in PICTURES.items():
    with open(os.path.join(here, name), "wb") as out:
        out.write(png_bytes(rows))
