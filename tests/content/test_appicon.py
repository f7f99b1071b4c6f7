"""Checks the program's desktop icon: each PNG has the size of its folder in
the icon theme and is a red ring on transparency, and the script reproduces
the committed SVG and PNGs byte for byte."""

from __future__ import annotations

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from PIL import Image

ROOT = Path(__file__).resolve().parents[2]
ICONS = ROOT / "resources" / "icons" / "hicolor"
TOOL = ROOT / "tools" / "make_app_icon.py"


def committed() -> dict[str, bytes]:
    return {str(p.relative_to(ICONS)): p.read_bytes() for p in ICONS.rglob("*") if p.is_file()}


class AppIcon(unittest.TestCase):
    def test_sizes_and_ring(self):
        pngs = sorted(ICONS.glob("*/apps/*.png"))
        self.assertEqual(sorted(int(p.parts[-3].split("x")[0]) for p in pngs),
                         [16, 24, 32, 48, 64, 128, 256])
        for path in pngs:
            with self.subTest(path.parts[-3]), Image.open(path) as image:
                size = int(path.parts[-3].split("x")[0])
                self.assertEqual((image.size, image.mode), ((size, size), "RGBA"))
                half = size // 2
                self.assertEqual(image.getpixel((0, 0))[3], 0, "the corner is transparent")
                self.assertEqual(image.getpixel((half, half))[3], 0, "the hole is transparent")
                # Across the ring from the left edge to the middle: opaque red in between.
                row = [image.getpixel((x, half)) for x in range(half)]
                self.assertIn((255, 0, 0, 255), row)
                self.assertTrue(all(p[:3] == (255, 0, 0) for p in row if p[3]), row)

    def test_script_reproduces_committed_bytes(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, str(TOOL), tmp], check=True)
            made = {str(p.relative_to(tmp)): p.read_bytes()
                    for p in Path(tmp).rglob("*") if p.is_file()}
        self.assertEqual(sorted(made), sorted(committed()))
        for name, data in made.items():
            with self.subTest(name):
                self.assertEqual(data, committed()[name], f"{name} differs from what the script makes")


if __name__ == "__main__":
    unittest.main()
