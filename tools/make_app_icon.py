#!/usr/bin/python3
"""Makes the program's icon for the desktop: the red circle mark, a pure red
ring on transparency, as a scalable SVG and as PNGs at the sizes of the
hicolor icon theme.

The ring fills the square but for a small margin and is drawn a little bolder
than the answer-sheet mark, so that it still reads as a ring at 16 pixels.
Its edges are smoothed through the alpha channel: each pixel is pure red,
as opaque as the share of it that the ring covers.

The PNG bytes are written here by hand (8-bit RGBA, no interlace, one IDAT
chunk at zlib's level 9, no ancillary chunks), so that the files depend on
nothing but these parameters.

    make_app_icon.py [FOLDER]     (default: resources/icons/hicolor)

writes FOLDER/scalable/apps/APP_ID.svg and FOLDER/NxN/apps/APP_ID.png.
"""

from __future__ import annotations

import math
import struct
import sys
import zlib
from pathlib import Path

APP_ID = "org.karvel.MockExam"
SIZES = (16, 24, 32, 48, 64, 128, 256)
RED = (255, 0, 0)

# The ring, as fractions of the icon's side.
OUTER_RADIUS = 15 / 32    # a margin of 1/32 of the side all round
RING_WIDTH = 4 / 32       # the answer-sheet mark's ring is 3.5/32 wide
SUBSAMPLES = 16           # edge pixels are measured on SUBSAMPLES^2 points

SVG_SIDE = 256            # the SVG's user units: one unit is one pixel at 256


def svg() -> str:
    outer = OUTER_RADIUS * SVG_SIDE
    width = RING_WIDTH * SVG_SIDE
    centre = SVG_SIDE / 2
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{SVG_SIDE}" height="{SVG_SIDE}" '
        f'viewBox="0 0 {SVG_SIDE} {SVG_SIDE}">\n'
        '  <title>Karvel</title>\n'
        f'  <circle cx="{centre:g}" cy="{centre:g}" r="{outer - width / 2:g}" fill="none" '
        f'stroke="#{RED[0]:02x}{RED[1]:02x}{RED[2]:02x}" stroke-width="{width:g}"/>\n'
        '</svg>\n')


def coverage(size: int, x: int, y: int) -> float:
    """How much of pixel (x, y) the ring covers, 0 to 1."""
    centre = size / 2
    outer = OUTER_RADIUS * size
    inner = outer - RING_WIDTH * size
    d = math.hypot(x + 0.5 - centre, y + 0.5 - centre)
    half_diagonal = math.sqrt(0.5)
    if d + half_diagonal <= inner or d - half_diagonal >= outer:
        return 0.0
    if inner <= d - half_diagonal and d + half_diagonal <= outer:
        return 1.0
    inside = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            r = math.hypot(x + (sx + 0.5) / SUBSAMPLES - centre,
                           y + (sy + 0.5) / SUBSAMPLES - centre)
            if inner <= r <= outer:
                inside += 1
    return inside / SUBSAMPLES ** 2


def _chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png(size: int) -> bytes:
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # filter type None
        for x in range(size):
            alpha = round(255 * coverage(size, x, y))
            raw += bytes(RED + (alpha,)) if alpha else b"\0\0\0\0"
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def main(argv: list[str]) -> int:
    root = Path(__file__).resolve().parent.parent
    folder = Path(argv[1]) if len(argv) > 1 else root / "resources" / "icons" / "hicolor"
    target = folder / "scalable" / "apps" / f"{APP_ID}.svg"
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_text(svg(), encoding="utf-8")
    for size in SIZES:
        target = folder / f"{size}x{size}" / "apps" / f"{APP_ID}.png"
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(png(size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
