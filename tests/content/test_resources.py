"""Checks the generated content: the window background, the circle mark, the
time-up chime and the two information documents, and that each regenerates
byte for byte from its script and source."""

from __future__ import annotations

import re
import struct
import subprocess
import sys
import tempfile
import unittest
import wave
from collections import Counter
from pathlib import Path

import numpy as np
from PIL import Image

import rtfparse

ROOT = Path(__file__).resolve().parents[2]
RESOURCES = ROOT / "resources"
TOOLS = ROOT / "tools"

IDEOGRAPHIC_SPACE = "\u3000"


def gif_blocks(data: bytes):
    """Walks a GIF after its global colour table: yields ("ext", label, body)
    and ("image", left, top, width, height, flags)."""
    flags = data[10]
    pos = 13 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)
    while True:
        intro = data[pos]
        if intro == 0x3B:
            return
        if intro == 0x21:
            label = data[pos + 1]
            pos += 2
            body = bytearray()
            while data[pos]:
                body += data[pos + 1:pos + 1 + data[pos]]
                pos += 1 + data[pos]
            pos += 1
            yield ("ext", label, bytes(body))
        elif intro == 0x2C:
            left, top, width, height, iflags = struct.unpack_from("<HHHHB", data, pos + 1)
            yield ("image", left, top, width, height, iflags)
            pos += 10
            if iflags & 0x80:
                pos += 3 * (2 << (iflags & 7))
            pos += 1  # LZW minimum code size
            while data[pos]:
                pos += 1 + data[pos]
            pos += 1
        else:
            raise AssertionError(f"unknown GIF block 0x{intro:02x} at {pos}")


class BackgroundImage(unittest.TestCase):
    data = (RESOURCES / "background.gif").read_bytes()

    def test_gif_structure(self):
        self.assertEqual(self.data[:6], b"GIF89a")
        width, height, flags = struct.unpack_from("<HHB", self.data, 6)
        self.assertEqual((width, height), (794, 567))
        self.assertTrue(flags & 0x80, "no global colour table")
        self.assertEqual(2 << (flags & 7), 256, "global table is not 256 colours")
        blocks = list(gif_blocks(self.data))
        images = [b for b in blocks if b[0] == "image"]
        self.assertEqual(len(images), 1)
        self.assertEqual(images[0][1:5], (0, 0, 794, 567))
        for block in blocks:
            if block[0] == "ext" and block[1] == 0xF9:
                self.assertFalse(block[2][0] & 1, "graphic control makes a colour transparent")

    def test_colours_are_the_yellow_ground(self):
        with Image.open(RESOURCES / "background.gif") as image:
            self.assertEqual(image.size, (794, 567))
            self.assertNotIn("transparency", image.info)
            pixels = np.asarray(image.convert("RGB")).reshape(-1, 3)
        counts = Counter(map(tuple, pixels.tolist()))
        (first, n1), (second, n2) = counts.most_common(2)
        self.assertEqual({first, second}, {(255, 204, 0), (255, 204, 51)})
        self.assertGreater((n1 + n2) / len(pixels), 0.6)
        self.assertGreater(n2 / len(pixels), 0.25, "one ground colour barely used")
        # Calm enough for black text: every colour stays a light yellow.
        for r, g, b in counts:
            luminance = (0.2126 * (r / 255) ** 2.2 + 0.7152 * (g / 255) ** 2.2
                         + 0.0722 * (b / 255) ** 2.2)
            self.assertGreater((luminance + 0.05) / 0.05, 10, (r, g, b))
            self.assertTrue(r >= 240 and 180 <= g <= 225 and b <= 90, (r, g, b))


class CircleMark(unittest.TestCase):
    data = (RESOURCES / "maru.ico").read_bytes()

    def entries(self):
        reserved, kind, count = struct.unpack_from("<HHH", self.data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        for i in range(count):
            yield struct.unpack_from("<BBBBHHII", self.data, 6 + 16 * i)

    def test_directory_and_bitmaps(self):
        entries = list(self.entries())
        self.assertEqual(len(entries), 3)
        width, height, colours, _, planes, bits, size, offset = entries[0]
        self.assertEqual((width, height, colours, planes, bits), (32, 32, 0, 1, 8))
        self.assertEqual([(e[0], e[5]) for e in entries[1:]], [(32, 4), (16, 4)])
        end = 6 + 16 * len(entries)
        for width, height, colours, _, planes, bits, size, offset in entries:
            with self.subTest(size=width, bits=bits):
                self.assertEqual(offset, end, "images must follow each other")
                end = offset + size
                header = struct.unpack_from("<IiiHHI", self.data, offset)
                self.assertEqual(header, (40, width, 2 * height, 1, bits, 0))
                row = (width * bits + 31) // 32 * 4
                mask_row = (width + 31) // 32 * 4
                # Header, palette, XOR rows and the AND mask fill the entry.
                self.assertEqual(size, 40 + 4 * (1 << bits) + height * row + height * mask_row)
        self.assertEqual(end, len(self.data))

    @staticmethod
    def frame(index: int) -> Image.Image:
        with Image.open(RESOURCES / "maru.ico") as icon:
            return icon.ico.frame(index).convert("RGBA")

    def test_ring_is_red_and_surround_transparent(self):
        for frame, scale in ((0, 1.0), (1, 1.0), (2, 0.5)):
            image = self.frame(frame)
            size = image.size[0]
            with self.subTest(frame=frame, size=size):
                self.assertEqual(image.size, (32 * scale, 32 * scale))
                px = image.load()
                mid = size // 2
                for x, y in ((mid + int(13 * scale), mid), (mid - 1 - int(13 * scale), mid - 1),
                             (mid, mid + int(13 * scale)), (mid - 1, mid - 1 - int(13 * scale))):
                    self.assertEqual(px[x, y], (255, 0, 0, 255), (x, y))
                for x, y in ((mid, mid), (mid - 1, mid - 1), (0, 0), (size - 1, 0),
                             (0, size - 1), (size - 1, size - 1)):
                    self.assertEqual(px[x, y][3], 0, (x, y))
                opaque = [(x, y) for y in range(size) for x in range(size) if px[x, y][3]]
                xs = [x for x, _ in opaque]
                self.assertIn(max(xs) - min(xs) + 1, range(int(29 * scale), int(32 * scale) + 1))
                # Smoothed edges: lighter reds, never another hue.
                edge = {px[p][:3] for p in opaque} - {(255, 0, 0)}
                self.assertTrue(edge, "no anti-aliasing")
                for r, g, b in edge:
                    self.assertEqual((r, g), (255, b), (r, g, b))

    def test_ring_thickness(self):
        image = self.frame(0)
        row = [image.getpixel((x, 16)) for x in range(32)]
        red = [x for x, p in enumerate(row) if p == (255, 0, 0, 255)]
        left = [x for x in red if x < 16]
        self.assertIn(len(left), (3, 4), row)
        self.assertEqual(left, list(range(left[0], left[0] + len(left))), "ring broken")


class Chime(unittest.TestCase):
    path = RESOURCES / "Zikan.wav"

    def test_header(self):
        data = self.path.read_bytes()
        self.assertEqual((data[:4], data[8:12]), (b"RIFF", b"WAVE"))
        self.assertEqual(struct.unpack_from("<I", data, 4)[0], len(data) - 8)
        with wave.open(str(self.path)) as w:
            self.assertEqual(w.getcomptype(), "NONE")
            self.assertEqual(w.getsampwidth(), 2, "players refuse other than 16-bit")
            self.assertIn(w.getframerate(), (22050, 44100))
            self.assertIn(w.getnchannels(), (1, 2))
            self.assertTrue(1.0 <= w.getnframes() / w.getframerate() <= 3.0)
        fmt = data.index(b"fmt ")
        self.assertEqual(struct.unpack_from("<H", data, fmt + 8)[0], 1, "not PCM")

    def samples(self):
        with wave.open(str(self.path)) as w:
            raw = np.frombuffer(w.readframes(w.getnframes()), "<i2")
            return raw.reshape(-1, w.getnchannels()).astype(float), w.getframerate()

    def test_sound_then_silence(self):
        pcm, rate = self.samples()
        level = np.abs(pcm).max(axis=1)
        tail = int(0.25 * rate)
        self.assertFalse(level[-tail:].any(), "the last 0.25 s is not silent")
        peak_db = 20 * np.log10(level.max() / 32768)
        self.assertTrue(-4.5 <= peak_db <= -1.5, peak_db)
        # Sounding throughout, up to its fade: no gap of 0.1 s in it.
        window = rate // 10
        body = level[:len(level) - int(0.5 * rate)]
        for start in range(0, len(body) - window + 1, window):
            self.assertGreater(body[start:start + window].max(), 32768 * 0.01,
                               f"silent at {start / rate:.1f} s")
        # It fades out rather than stopping with a click.
        last = np.nonzero(level)[0][-1]
        self.assertLess(level[last - int(0.02 * rate):last + 1].max(), 0.01 * level.max())


def read_rtf(name: str) -> rtfparse.RtfDocument:
    return rtfparse.parse((RESOURCES / name).read_bytes())


class InfoDocumentHeaders(unittest.TestCase):
    def test_shared_header(self):
        for name in ("passline.rtf", "about.rtf"):
            with self.subTest(name):
                doc = read_rtf(name)
                h = doc.header_words
                self.assertEqual((h.get("rtf"), h.get("ansicpg"), h.get("deflang"), h.get("deftab")),
                                 (1, 932, 1041, 720))
                self.assertEqual(len(doc.fonts), 1)
                font = doc.fonts[0]
                self.assertEqual(font.name, "ＭＳ ゴシック")
                self.assertEqual(font.words, {"fmodern": None, "fprq": 1, "fcharset": 128})
                self.assertEqual(doc.colors, [(0, 0, 0)])
                self.assertIn("、", doc.fchars)
                self.assertIn("」", doc.fchars)
                self.assertIn("「", doc.lchars)
                self.assertFalse(set(doc.fchars) & set(doc.lchars))
                # Plain text only: one face at 9 pt, no bold, colour or tables.
                words = {w for w, _ in doc.body_words}
                self.assertLessEqual(words, {"pard", "plain", "f", "fs", "par", "tab"})
                self.assertEqual({p for w, p in doc.body_words if w == "fs"}, {18})
                self.assertEqual({p for w, p in doc.body_words if w == "f"}, {0})


UNIVERSITIES = ["北海道", "東北", "東京", "名古屋", "京都", "大阪", "九州"]
FACULTIES = ["法", "工", "医"]
PASS_LINE = re.compile("([０-９]{2})．([０-９])％$")


def full_width_number(digits: str) -> str:
    return digits.translate({0xFF10 + i: str(i) for i in range(10)})


class PassLineDocument(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.paragraphs = read_rtf("passline.rtf").paragraphs
        # Entries: the paragraphs between blank ones, after the header.
        cls.entries = []
        current = []
        for para in cls.paragraphs[2:]:
            if para == "":
                cls.entries.append(current)
                current = []
            else:
                current.append(para)
        cls.trailing = current

    def split_entry(self, entry):
        """The entry's five lines; the joined paragraph counts as two."""
        lines = []
        for para in entry:
            head, sep, rest = para.partition("\t")
            lines.append(head)
            if rest.strip():
                self.assertTrue(rest.startswith(" "), repr(rest))
                lines.append(rest.strip(" "))
        return lines

    def test_layout(self):
        self.assertEqual(len(self.paragraphs), 127)
        self.assertEqual(self.paragraphs[-1], "")
        self.assertEqual(self.paragraphs[1], "")
        header = self.paragraphs[0].split()
        self.assertEqual(header, ["旧帝国大学", "学部名", "受験科目", "合格ライン（１科目平均）"])
        self.assertEqual(self.trailing, [], "the last entry must end with a blank paragraph")
        self.assertEqual(len(self.entries), 21)

    def test_entries(self):
        expected = [(u, f) for u in UNIVERSITIES for f in FACULTIES]
        for (university, faculty), entry in zip(expected, self.entries):
            with self.subTest(university=university, faculty=faculty):
                lines = self.split_entry(entry)
                self.assertEqual(len(lines), 5)
                first = lines[0].split()
                names = [university] if faculty == "法" else []
                self.assertEqual(first[:len(names) + 1], names + [faculty])
                areas = []
                for n, line in enumerate(lines):
                    words = line.split(IDEOGRAPHIC_SPACE)
                    words = [w for w in words if w]
                    if n == 0:
                        words = words[len(names) + 1:-1]   # names and pass line
                    else:
                        # Later lines name neither university nor faculty.
                        self.assertFalse(set(words) & set(UNIVERSITIES + FACULTIES), line)
                    areas.append(words[0])
                    if words[0] == "外":
                        self.assertEqual(words, ["外"])
                    else:
                        self.assertEqual(len(words), 3, line)
                        self.assertEqual(words[1], "―")
                self.assertEqual(areas[0], "国")
                self.assertIn(areas[1], ("地歴", "地歴・公民"))
                self.assertEqual(areas[2:], ["数", "理", "外"])

    def test_subjects_fit_the_faculty(self):
        for index, entry in enumerate(self.entries):
            faculty = FACULTIES[index % 3]
            lines = self.split_entry(entry)
            with self.subTest(entry=index + 1, faculty=faculty):
                math, science = lines[2], lines[3]
                self.assertIn("数学Ⅰ", math)
                self.assertEqual("Ⅲ" in math, faculty != "法", math)
                self.assertIn("物理", science)
                self.assertIn("化学", science)
                if faculty == "法":
                    self.assertIn("から１", science)
                self.assertIn("国語", lines[0])
                self.assertIn("地理Ｂ", lines[1])

    def test_joined_paragraph(self):
        with_tab = [p for p in self.paragraphs if "\t" in p]
        joined = [p for p in with_tab if p.split("\t")[1].strip(" ")]
        self.assertEqual(len(joined), 1)
        kyoto_engineering = self.entries[UNIVERSITIES.index("京都") * 3 + 1]
        self.assertEqual(kyoto_engineering[0], joined[0])
        self.assertEqual(len(kyoto_engineering), 4)
        before, after = joined[0].split("\t")
        self.assertRegex(before, PASS_LINE.pattern)
        self.assertRegex(after, "^ +地歴")
        # Other tabs only trail a line and show nothing.
        for para in with_tab:
            if para is not joined[0]:
                self.assertTrue(para.endswith("\t") and para.count("\t") == 1, repr(para))
        self.assertEqual(sum(p.count("\t") for p in self.paragraphs), 3)

    def test_pass_lines(self):
        values = []
        for entry in self.entries:
            first = entry[0].partition("\t")[0]
            match = PASS_LINE.search(first)
            self.assertIsNotNone(match, first)
            values.append(float(full_width_number(match[1]) + "." + full_width_number(match[2])))
        self.assertTrue(self.entries[0][0].endswith("８０．３％"))
        self.assertEqual(values[0], 80.3)
        for v in values:
            self.assertTrue(80.3 <= v <= 96.0, v)
        by_university = {u: values[3 * i:3 * i + 3] for i, u in enumerate(UNIVERSITIES)}
        # The hardest to enter: 東京 and 京都 in every faculty, and medicine
        # at every university.
        for f, faculty in enumerate(FACULTIES):
            others = [vs[f] for u, vs in by_university.items() if u not in ("東京", "京都")]
            for university in ("東京", "京都"):
                self.assertGreater(by_university[university][f], max(others), (university, faculty))
        for university, (law, engineering, medicine) in by_university.items():
            self.assertGreater(medicine, max(law, engineering), university)

    def test_columns_line_up(self):
        header = self.paragraphs[0]
        subject_column = rtfparse.columns(header[:header.index("受験科目")])
        pass_header = rtfparse.columns(header[:header.index("合格ライン")])
        starts = set()
        for entry in self.entries:
            first = entry[0].partition("\t")[0]
            self.assertNotIn(" ", first, "half-width blanks in an aligned line")
            starts.add(rtfparse.columns(first[:PASS_LINE.search(first).start()]))
            self.assertEqual(rtfparse.columns(first[:first.index("国")]), subject_column, first)
            for line in entry[1:]:
                text = line.rstrip("\t")
                self.assertEqual(rtfparse.columns(text) - rtfparse.columns(text.lstrip(IDEOGRAPHIC_SPACE)),
                                 subject_column, line)
        self.assertEqual(len(starts), 1, f"pass lines start in columns {sorted(starts)}")
        self.assertGreaterEqual(starts.pop(), pass_header)


class AboutDocument(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.paragraphs = read_rtf("about.rtf").paragraphs

    def test_layout(self):
        self.assertEqual(len(self.paragraphs), 114)
        self.assertEqual(self.paragraphs[0], "　　　　○○○○○ソフトの説明○○○○○")
        headings = [p for p in self.paragraphs if p[:1] in ("★", "※")]
        self.assertTrue(any(h.startswith("★") for h in headings))
        self.assertTrue(any(h.startswith("※") for h in headings))
        self.assertGreaterEqual(len(headings), 6)
        for para in self.paragraphs:
            self.assertNotIn("\t", para)
            self.assertLessEqual(rtfparse.columns(para), 80, para)

    def steps(self):
        """The numbered study steps, each with its continuation lines."""
        steps: list[str] = []
        number = re.compile("^　([１-９])．")
        for para in self.paragraphs:
            m = number.match(para)
            if m:
                self.assertEqual(full_width_number(m[1]), str(len(steps) + 1), para)
                steps.append(para)
            elif steps and para.startswith("　　　") and not para.startswith("　　　　"):
                steps[-1] += para.strip()
            elif steps:
                break
        return steps

    def test_study_steps(self):
        steps = self.steps()
        self.assertGreaterEqual(len(steps), 4)
        start = next(i for i, s in enumerate(steps) if "「スタート」" in s)
        tick = next(i for i, s in enumerate(steps) if "チェック" in s)
        score = next(i for i, s in enumerate(steps) if "「得　点」" in s)
        self.assertLess(start, tick)
        self.assertLess(tick, score)
        self.assertIn("時間", steps[score])
        self.assertIn("全部", steps[score])

    def test_tells_how_the_program_behaves(self):
        text = "\n".join(self.paragraphs)
        for needed in ("1:00", "0:00", "チャイム", "赤い丸", "１００点", "３点", "２点",
                       "ゲーム → 終了", "ヘルプ → バージョン情報", "Zikan.wav"):
            self.assertIn(needed, text)
        rates = re.findall("合格率 ([０-９]+％)|(計測不能)", text)
        self.assertEqual(["".join(r) for r in rates], ["９９％", "８０％", "５０％", "１０％", "０％", "計測不能"])
        self.assertNotIn("得点」", text.replace("「得　点」", ""), "Score button named without its blank")


class Regeneration(unittest.TestCase):
    def run_tool(self, script: str, *args: str) -> None:
        subprocess.run([sys.executable, str(TOOLS / script), *args], check=True)

    def test_scripts_reproduce_committed_bytes(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = Path(tmp)
            self.run_tool("make_background.py", str(out / "background.gif"))
            self.run_tool("make_maru.py", str(out / "maru.ico"))
            self.run_tool("make_chime.py", str(out / "Zikan.wav"))
            self.run_tool("make_infodocs.py", str(out))
            self.run_tool("make_cp932_table.py", str(out / "cp932.bin"))
            for name in ("background.gif", "maru.ico", "Zikan.wav", "passline.rtf", "about.rtf",
                         "cp932.bin"):
                with self.subTest(name):
                    self.assertEqual((out / name).read_bytes(), (RESOURCES / name).read_bytes(),
                                     f"{name} differs from what its script makes")


if __name__ == "__main__":
    unittest.main()
