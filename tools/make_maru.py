#!/usr/bin/python3
"""Makes resources/maru.ico, the red circle mark shown on right answers.

The icon holds three images, in this order:
  1. 32 x 32, 8 bits per pixel (256-entry palette) - the one the program shows;
  2. 32 x 32, 4 bits per pixel;
  3. 16 x 16, 4 bits per pixel.
Each is a pure red ring (255, 0, 0) whose edges are smoothed with lighter reds
(the red blended towards white by how much of the pixel the ring covers); the
surround and the hole are transparent through the AND mask.

The ICO bytes are written here by hand: a directory, then for each image a
BITMAPINFOHEADER with the height doubled (XOR image plus AND mask), its
palette, the XOR pixels bottom-up with rows padded to 4 bytes, and the AND
mask bottom-up, one bit per pixel, rows padded to 32 bits.

    make_maru.py [OUTPUT]     (default: resources/maru.ico)
"""

from __future__ import annotations

import math
import struct
import sys
from pathlib import Path

RED = (255, 0, 0)
PINK_LEVELS = 8       # shades of lighter red for the ring's edges
OPAQUE_FROM = 0.2     # a pixel less covered than this stays transparent
FULL_FROM = 0.8       # a pixel covered at least this much is pure red
SUBSAMPLES = 16       # coverage is measured on SUBSAMPLES^2 points per pixel

# Index 0 is black (what a transparent pixel holds), 1 pure red, then the
# edge shades from the most red to the lightest.
EDGE_INDEX = 2


def edge_colour(level: int) -> tuple[int, int, int]:
    """Edge shade `level` (0 = most covered): red blended with white."""
    coverage = FULL_FROM - (FULL_FROM - OPAQUE_FROM) * (level + 0.5) / PINK_LEVELS
    light = round(255 * (1 - coverage))
    return (255, light, light)


def palette(entries: int) -> list[tuple[int, int, int]]:
    colours = [(0, 0, 0), RED] + [edge_colour(i) for i in range(PINK_LEVELS)]
    return colours + [(0, 0, 0)] * (entries - len(colours))


def coverage(size: int, x: int, y: int) -> float:
    """How much of pixel (x, y) the ring covers, 0 to 1.  The ring's outer
    diameter is 30/32 of the image and it is 3.5/32 of the image thick."""
    scale = size / 32
    centre = size / 2
    outer = 15.0 * scale
    inner = 11.5 * scale
    inside = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            px = x + (sx + 0.5) / SUBSAMPLES - centre
            py = y + (sy + 0.5) / SUBSAMPLES - centre
            if inner <= math.hypot(px, py) <= outer:
                inside += 1
    return inside / SUBSAMPLES ** 2


def ring(size: int) -> list[list[int | None]]:
    """Palette index of each pixel, top row first; None where transparent."""
    rows = []
    for y in range(size):
        row: list[int | None] = []
        for x in range(size):
            c = coverage(size, x, y)
            if c >= FULL_FROM:
                row.append(1)
            elif c >= OPAQUE_FROM:
                level = int((FULL_FROM - c) / (FULL_FROM - OPAQUE_FROM) * PINK_LEVELS)
                row.append(EDGE_INDEX + min(level, PINK_LEVELS - 1))
            else:
                row.append(None)
        rows.append(row)
    return rows


def _pad4(data: bytes) -> bytes:
    return data + b"\0" * (-len(data) % 4)


def dib(size: int, bits: int) -> bytes:
    """One icon image: header, palette, XOR bits and AND mask."""
    pixels = ring(size)
    colours = palette(1 << bits)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        indexes = [0 if p is None else p for p in row]
        if bits == 8:
            line = bytes(indexes)
        else:
            line = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        xor += _pad4(line)
        mbits = bytearray((size + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                mbits[x // 8] |= 0x80 >> (x % 8)
        mask += _pad4(bytes(mbits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    return header + table + bytes(xor) + bytes(mask)


def ico_bytes(images: list[tuple[int, int]]) -> bytes:
    blobs = [dib(size, bits) for size, bits in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        colour_count = 0 if bits >= 8 else 1 << bits
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0,
                           1, bits, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


IMAGES = [(32, 8), (32, 4), (16, 4)]


def main(argv: list[str]) -> int:
    root = Path(__file__).resolve().parent.parent
    target = Path(argv[1]) if len(argv) > 1 else root / "resources" / "maru.ico"
    target.write_bytes(ico_bytes(IMAGES))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
