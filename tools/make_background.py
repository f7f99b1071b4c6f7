#!/usr/bin/python3
"""Makes resources/background.gif, the exam window's background.

A calm yellow basket weave, 794 x 567 pixels: threads in the two ground
colours (255, 204, 0) and (255, 204, 51), a faint shadow where one thread
passes under the next, and a light sprinkle of neighbouring yellows so that it
reads as woven paper rather than a flat fill.  Black labels and grey buttons
stay easy to read on it.

The GIF is written here byte by byte (GIF89a, one 256-entry global colour
table, one opaque image, no extensions) with our own LZW encoder, and the
noise comes from a fixed seed, so running the script again gives the same
bytes.

    make_background.py [OUTPUT]     (default: resources/background.gif)
"""

from __future__ import annotations

import struct
import sys
from pathlib import Path

import numpy as np

WIDTH, HEIGHT = 794, 567
GROUND = (255, 204, 0)        # palette index 0
THREAD_EDGE = (255, 204, 51)  # palette index 1
SEED = 19980401
CELL = 8                      # one weave block is CELL x CELL pixels
SPRINKLE = 0.09               # share of pixels moved to a neighbouring yellow


def make_palette() -> list[tuple[int, int, int]]:
    """256 distinct yellows: the two ground colours first, then shades close
    to them, ordered from the bluish-light ones to the darker ones."""
    palette = [GROUND, THREAD_EDGE]
    seen = set(palette)
    # Shades around the ground: red slightly lowered, green around 204,
    # blue between the two ground colours and a little beyond.
    for dr in (0, 3, 6, 9):
        for dg in (0, -3, 3, -6, 6, -9, 9, -12):
            for b in (0, 8, 17, 25, 34, 42, 51, 59, 68):
                colour = (255 - dr, 204 + dg, b)
                if colour not in seen and len(palette) < 256:
                    seen.add(colour)
                    palette.append(colour)
    if len(palette) != 256:
        raise AssertionError(f"palette has {len(palette)} entries")
    return palette


def make_pixels(palette: list[tuple[int, int, int]]) -> np.ndarray:
    """Palette indexes, HEIGHT rows of WIDTH pixels."""
    rng = np.random.default_rng(SEED)
    y, x = np.mgrid[0:HEIGHT, 0:WIDTH]
    horizontal = ((x // CELL + y // CELL) % 2) == 0
    # Two threads per block, each CELL/2 wide: the middle of a thread in the
    # ground colour, its two edges in the bluer thread colour.
    along = np.where(horizontal, y, x) % (CELL // 2)
    edge = (along == 0) | (along == CELL // 2 - 1)
    pixels = np.where(edge, 1, 0).astype(np.uint8)

    colours = np.array(palette, dtype=np.int16)
    # Shadow: the first pixel of a block, where its threads come out from
    # under the crossing ones, takes a slightly darker shade.
    shadow_ground = nearest(colours, (249, 198, 0))
    shadow_edge = nearest(colours, (249, 198, 51))
    first = np.where(horizontal, x % CELL == 0, y % CELL == 0)
    pixels[first & ~edge] = shadow_ground
    pixels[first & edge] = shadow_edge

    # Sprinkle: single pixels moved to a yellow near the one they had.
    near_ground = [i for i, c in enumerate(palette[2:], 2)
                   if c[2] <= 17 and c[0] >= 252 and abs(c[1] - 204) <= 6]
    near_edge = [i for i, c in enumerate(palette[2:], 2)
                 if 34 <= c[2] <= 68 and c[0] >= 252 and abs(c[1] - 204) <= 6]
    spots = rng.random((HEIGHT, WIDTH)) < SPRINKLE
    pick_ground = rng.choice(np.array(near_ground, dtype=np.uint8), (HEIGHT, WIDTH))
    pick_edge = rng.choice(np.array(near_edge, dtype=np.uint8), (HEIGHT, WIDTH))
    bluish = colours[pixels][..., 2] >= 26
    pixels = np.where(spots & ~bluish, pick_ground, pixels)
    pixels = np.where(spots & bluish, pick_edge, pixels)
    return pixels.astype(np.uint8)


def nearest(colours: np.ndarray, rgb: tuple[int, int, int]) -> int:
    distance = ((colours - np.array(rgb, dtype=np.int16)) ** 2).sum(axis=1)
    return int(distance.argmin())


def lzw_encode(data: bytes, min_code_size: int = 8) -> bytes:
    """GIF's variable-length LZW: clear code first, a clear whenever the
    4096-entry table is full, the end code last; codes packed LSB first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code: int, size: int) -> None:
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    code_size = min_code_size + 1
    table: dict[int, int] = {}
    next_code = end + 1
    emit(clear, code_size)
    if not data:
        emit(end, code_size)
    else:
        prefix = data[0]
        for byte in data[1:]:
            key = (prefix << 8) | byte
            found = table.get(key)
            if found is not None:
                prefix = found
                continue
            emit(prefix, code_size)
            if next_code < 4096:
                table[key] = next_code
                next_code += 1
                # The decoder adds its entries one code later, so the width
                # grows once the code after next would no longer fit.
                if next_code > (1 << code_size) and code_size < 12:
                    code_size += 1
            else:
                emit(clear, code_size)
                table.clear()
                next_code = end + 1
                code_size = min_code_size + 1
            prefix = byte
        emit(prefix, code_size)
        emit(end, code_size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def gif_bytes(pixels: np.ndarray, palette: list[tuple[int, int, int]]) -> bytes:
    height, width = pixels.shape
    out = bytearray(b"GIF89a")
    # Logical screen: global table present (0x80), 8 bits per primary (0x70),
    # unsorted, 2^(7+1) = 256 entries (0x07); background index 0; square pixels.
    out += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | 0x07, 0, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    # One image covering the screen, no local table, not interlaced.
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(8)
    data = lzw_encode(pixels.tobytes(), 8)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    out.append(0x3B)
    return bytes(out)


def main(argv: list[str]) -> int:
    root = Path(__file__).resolve().parent.parent
    target = Path(argv[1]) if len(argv) > 1 else root / "resources" / "background.gif"
    palette = make_palette()
    target.write_bytes(gif_bytes(make_pixels(palette), palette))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
