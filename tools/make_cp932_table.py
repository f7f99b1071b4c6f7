#!/usr/bin/python3
"""Makes resources/cp932.bin, the double-byte half of code page 932 (the
Japanese ANSI code page the program's documents are written in), from
Python's own cp932 codec.  The program carries it as a resource and decodes
the documents with it.

For each lead byte, 0x81-0x9F and 0xE0-0xFC, a row of its 188 trail bytes,
0x40-0x7E and 0x80-0xFC: the UTF-16 code unit of each pair, little-endian,
0 where the page leaves the pair undefined; 60 x 188 x 2 = 22,560 bytes.  The
single bytes need no table: ASCII, and half-width katakana at 0xA1-0xDF.

    make_cp932_table.py [OUTPUT] [--check]

--check exits 1 unless OUTPUT already holds exactly what would be written.
"""

from __future__ import annotations

import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "resources" / "cp932.bin"

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))


def cell(lead: int, trail: int) -> int:
    try:
        text = bytes([lead, trail]).decode("cp932")
    except UnicodeDecodeError:
        return 0
    assert len(text) == 1 and ord(text) <= 0xFFFF
    return ord(text)


def build() -> bytes:
    out = bytearray()
    for lead in LEADS:
        for trail in TRAILS:
            out += cell(lead, trail).to_bytes(2, "little")
    return bytes(out)


def main(argv: list[str]) -> int:
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    output = Path(args[0]) if args else OUTPUT
    data = build()
    if check:
        if not output.exists() or output.read_bytes() != data:
            print(f"{output}: differs from what tools/make_cp932_table.py gives", file=sys.stderr)
            return 1
        return 0
    output.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
