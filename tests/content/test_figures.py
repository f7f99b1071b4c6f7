"""Checks the four figure JPEGs and the helpers that draw them.

The exam window shows each figure at natural size in a figure box of fixed
size, and the picture loader must get a plain JFIF baseline colour JPEG.
"""

from __future__ import annotations

import io
import struct
import sys
import unittest
from pathlib import Path

from PIL import Image, ImageDraw

ROOT = Path(__file__).resolve().parents[2]
RESOURCES = ROOT / "resources"
sys.path.insert(0, str(ROOT / "tools" / "figures"))

import draw_figures  # noqa: E402

# file, width, height
FIGURES = [
    ("figure1.jpg", 365, 354),
    ("figure2.jpg", 385, 328),
    ("figure3.jpg", 474, 342),
    ("figure4.jpg", 648, 360),
]

# Start-of-frame markers other than SOF0 (baseline): extended, progressive,
# lossless, hierarchical and arithmetic-coded frames.
OTHER_SOF = {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}


def jpeg_headers(data: bytes) -> dict:
    """Walks the marker segments up to the first scan.

    Returns the markers seen (in order), whether an APP0 segment carries the
    JFIF identifier, and the frame's width, height and component count.
    """
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI marker")
    info = {"markers": [], "jfif": False, "frame": None}
    at = 2
    while at + 4 <= len(data):
        if data[at] != 0xFF:
            raise ValueError(f"no marker at byte {at}")
        marker = data[at + 1]
        if marker == 0xFF:          # fill byte
            at += 1
            continue
        info["markers"].append(marker)
        length = struct.unpack(">H", data[at + 2:at + 4])[0]
        body = data[at + 4:at + 2 + length]
        if marker == 0xE0 and body[:5] == b"JFIF\x00":
            info["jfif"] = True
        if marker == 0xC0 or marker in OTHER_SOF:
            _precision, height, width, components = struct.unpack(">BHHB", body[:6])
            info["frame"] = (width, height, components)
        if marker == 0xDA:          # start of scan: the headers are over
            break
        at += 2 + length
    return info


class FigureFilesTest(unittest.TestCase):
    def test_each_figure_is_a_baseline_colour_jfif_of_its_box_size(self):
        for name, width, height in FIGURES:
            with self.subTest(figure=name):
                data = (RESOURCES / name).read_bytes()
                info = jpeg_headers(data)
                self.assertEqual(info["markers"][0], 0xE0, "APP0 must come first")
                self.assertTrue(info["jfif"], "no JFIF APP0 segment")
                self.assertIn(0xC0, info["markers"], "no baseline SOF0 frame")
                self.assertFalse(OTHER_SOF & set(info["markers"]),
                                 "a progressive or other non-baseline frame")
                self.assertEqual(info["frame"], (width, height, 3))
                self.assertEqual(data[-2:], b"\xff\xd9", "no EOI at the end")

                img = Image.open(io.BytesIO(data))
                img.load()                      # the whole scan decodes
                self.assertEqual(img.mode, "RGB")
                self.assertEqual(img.size, (width, height))

                grey = img.convert("L")
                dark = sum(grey.histogram()[:80])
                self.assertGreater(dark, width * height // 200,
                                   "too few dark pixels: lines and labels missing")
                light = sum(grey.histogram()[200:])
                self.assertGreater(light, width * height // 2,
                                   "the background is not light")
                colours = img.getcolors(maxcolors=width * height)
                self.assertGreater(len(colours), 200, "too few colours: blank")
                # Tinted sea, land or bars: a grey-only picture has almost no
                # pixels with a visible tint.
                tinted = sum(n for n, (r, g, b) in colours
                             if abs(r - g) + abs(g - b) >= 10)
                self.assertGreater(tinted, width * height * 3 // 100, "grey only")

    def test_the_header_check_rejects_progressive_and_grey_pictures(self):
        # The check above must be able to fail: feed it what a careless
        # export would write.
        picture = Image.new("RGB", (40, 30), (200, 220, 240))
        progressive = io.BytesIO()
        picture.save(progressive, "JPEG", progressive=True)
        info = jpeg_headers(progressive.getvalue())
        self.assertIn(0xC2, info["markers"])
        self.assertNotIn(0xC0, info["markers"])

        grey = io.BytesIO()
        picture.convert("L").save(grey, "JPEG")
        self.assertEqual(jpeg_headers(grey.getvalue())["frame"], (40, 30, 1))

        with self.assertRaises(ValueError):
            jpeg_headers(b"\x89PNG\r\n\x1a\n")


class DrawingHelpersTest(unittest.TestCase):
    def test_climograph_note_agrees_with_its_monthly_values(self):
        self.assertEqual(len(draw_figures.TEMPERATURE_C), 12)
        self.assertEqual(len(draw_figures.PRECIPITATION_MM), 12)
        self.assertEqual(draw_figures.annual_note(),
                         "年平均気温 18.7℃\u3000年降水量 720mm")
        # A southern-hemisphere winter-rain climate: wettest month in winter
        # (June to August), warmest in summer (December to February).
        wettest = max(range(12), key=lambda m: draw_figures.PRECIPITATION_MM[m])
        warmest = max(range(12), key=lambda m: draw_figures.TEMPERATURE_C[m])
        self.assertIn(wettest + 1, (6, 7, 8))
        self.assertIn(warmest + 1, (12, 1, 2))

    def test_dashes_follow_the_line_across_its_corners(self):
        dashed = draw_figures.dashed
        straight = dashed([(0, 0), (20, 0)], 5, 3)
        self.assertEqual(straight, [[(0, 0), (5.0, 0.0)],
                                    [(8.0, 0.0), (13.0, 0.0)],
                                    [(16.0, 0.0), (20, 0)]])
        # A dash that turns a corner keeps the corner point and its length.
        bent = dashed([(0, 0), (3, 0), (3, 10)], 5, 3)
        self.assertEqual(bent[0], [(0, 0), (3, 0), (3.0, 2.0)])
        self.assertEqual(bent[1], [(3.0, 5.0), (3.0, 10.0)])
        # Many short segments: every dash has length 5 but the last.
        wiggle = [(x * 0.5, (x % 2) * 0.5) for x in range(41)]
        lengths = [sum(((bx - ax) ** 2 + (by - ay) ** 2) ** 0.5
                       for (ax, ay), (bx, by) in zip(d, d[1:]))
                   for d in dashed(wiggle, 5, 3)]
        for length in lengths[:-1]:
            self.assertAlmostEqual(length, 5.0, places=6)

    def test_even_odd_fill_leaves_holes_and_handles_edge_rings(self):
        scale = draw_figures.SUPER
        outer = [[1, 1], [9, 1], [9, 9], [1, 9]]
        hole = [[3, 3], [7, 3], [7, 7], [3, 7]]
        island = [[4.5, 4.5], [5.5, 4.5], [5.5, 5.5], [4.5, 5.5]]
        mask = draw_figures.even_odd_mask([outer, hole, island], (10, 10))
        self.assertEqual(mask.shape, (10 * scale, 10 * scale))
        at = lambda x, y: bool(mask[int(y * scale), int(x * scale)])
        self.assertTrue(at(2, 2))        # land
        self.assertFalse(at(4, 4))       # lake
        self.assertTrue(at(5, 5))        # island in the lake
        self.assertFalse(at(0.5, 0.5))   # sea
        # Rings reaching past the picture are clipped, not an error.
        off = draw_figures.even_odd_mask([[[-5, -5], [5, -5], [5, 5], [-5, 5]],
                                          [[20, 20], [30, 20], [30, 30]]], (10, 10))
        self.assertTrue(off[0, 0])
        self.assertFalse(off[-1, -1])

    def test_a_far_label_gets_a_leader_that_stops_at_the_mark_and_the_label(self):
        place = {"x": 100, "y": 50, "side": "w"}
        self.assertEqual(draw_figures.label_centre(place, 15), (85, 50))
        self.assertEqual(draw_figures.label_centre({**place, "offset": 30}, 15), (70, 50))
        img = Image.new("RGB", (200, 100), draw_figures.WHITE)
        draw_figures.leader(ImageDraw.Draw(img), (100, 50), (70, 50), 6, 9, 1)
        dark = [x for x in range(200) if img.getpixel((x, 50))[0] < 128]
        self.assertEqual((min(dark), max(dark)), (79, 94))


if __name__ == "__main__":
    unittest.main()
