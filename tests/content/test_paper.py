"""The question paper: its RTF form, its structure, its source and its answers."""

import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SOURCE = ROOT / "resources" / "src" / "paper.txt"
RTF = ROOT / "resources" / "paper.rtf"
GENERATOR = ROOT / "tools" / "make_paper.py"
ANSWER_KEY = ROOT / "exam" / "answerkey.cpp"

sys.path.insert(0, str(ROOT / "tools"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_paper  # noqa: E402
import rtfparse  # noqa: E402

MINCHO, TIMES = 4, 5
CIRCLED = "①②③④"
# section code: (first question, last question)
SECTIONS = {
    "1A": (1, 3), "1B": (4, 6), "1C": (7, 10),
    "2A": (11, 14), "2B": (15, 17), "2C": (18, 21),
    "3A": (22, 24), "3B": (25, 27), "3C": (28, 30),
    "4A": (31, 34), "4B": (35, 37), "4C": (38, 40),
}


class Rtf:
    """The paper as a reader sees it: the shared reader's header words, font
    and colour tables and paragraph texts, plus the paragraphs as runs of
    (text, font, colour, underline, size) for the formatting checks."""

    def __init__(self, data: bytes):
        self.doc = rtfparse.parse(data)
        self.paragraphs = [[]]
        depth, font, color, ul, size = 0, None, None, False, None
        pending = bytearray()
        for token in rtfparse.tokenize(data):
            kind = token[0]
            if kind in ("{", "}"):
                depth += 1 if kind == "{" else -1
                continue
            if depth != 1:          # the tables and \* groups
                continue
            if kind in ("byte", "text"):
                pending += bytes([token[1]]) if kind == "byte" else token[1]
                continue
            name, arg = token[1], token[2]
            if name in rtfparse._SYMBOL_TEXT or name == "tab":
                pending += rtfparse._SYMBOL_TEXT.get(name, b"\t")
                continue
            if pending:
                self.paragraphs[-1].append((pending.decode("cp932"), font, color, ul, size))
                pending.clear()
            if name == "par":
                self.paragraphs.append([])
            elif name == "plain":
                font, color, ul, size = None, None, False, None
            elif name == "f":
                font = arg
            elif name == "cf":
                color = arg
            elif name == "fs":
                size = arg
            elif name in ("ul", "ulnone"):
                ul = name == "ul" and arg != 0
        if pending:
            self.paragraphs[-1].append((pending.decode("cp932"), font, color, ul, size))

    def texts(self):
        return ["".join(r[0] for r in p) for p in self.paragraphs]


def answer_key_rows():
    text = ANSWER_KEY.read_text(encoding="utf-8")
    rows = re.findall(r'\{\s*(\d+),\s*u"([^"]+)",\s*(\d+),\s*(\d+)\s*\}', text)
    return [(int(q), cap, int(c), int(p)) for q, cap, c, p in rows]


class PaperTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = RTF.read_bytes()
        cls.rtf = Rtf(cls.data)
        cls.texts = cls.rtf.texts()
        # Walk the paper: which question each paragraph belongs to.
        cls.questions = []       # (index of its paragraph, text)
        cls.headings = []
        cls.sections = []        # (index, letter)
        cls.figures = []         # (index, digit)
        for i, t in enumerate(cls.texts):
            if t.startswith("第"):
                cls.headings.append((i, t))
            elif re.match("[ABC]　", t):
                cls.sections.append((i, t[0]))
            elif re.match("問[0-9]+　", t):
                cls.questions.append((i, t))
            elif t.startswith("図"):
                cls.figures.append((i, t))

    def choices_of(self, q):
        """Choice paragraphs of question q (1-based): from its paragraph to the
        next empty paragraph."""
        start = self.questions[q - 1][0]
        end = self.texts.index("", start)
        return [t for t in self.texts[start + 1:end] if t[:1] in CIRCLED]


class RtfFormTest(PaperTestCase):
    def test_header_and_tables(self):
        self.assertTrue(self.data.startswith(b"{\\rtf1\\ansi\\ansicpg932"))
        words = self.rtf.doc.header_words
        self.assertEqual(words.get("deflang"), 1041)
        self.assertEqual(words.get("deftab"), 720)
        fonts = self.rtf.doc.fonts
        self.assertEqual([f.index for f in fonts], list(range(7)))
        self.assertEqual([f.name for f in fonts],
                         ["MS Sans Serif", "Symbol", "ＭＳ ゴシック", "ＭＳ ゴシック",
                          "平成明朝", "Times", "ＭＳ Ｐゴシック"])
        self.assertEqual([f.words.get("fcharset") for f in fonts], [0, 2, 128, 128, 128, 0, 128])
        self.assertEqual(self.rtf.doc.colors, [(0, 0, 0), (255, 0, 0)])
        self.assertEqual(self.rtf.texts(), self.rtf.doc.paragraphs)

    def test_text_uses_mincho_for_japanese_and_times_for_ascii_at_8_points(self):
        sizes, faces = set(), set()
        for para in self.rtf.paragraphs:
            for text, font, color, ul, size in para:
                sizes.add(size)
                faces.add(font)
                for ch in text:
                    self.assertEqual(font, TIMES if ord(ch) < 0x80 else MINCHO,
                                     f"{ch!r} in {text!r}")
        self.assertEqual(sizes, {16})
        self.assertEqual(faces, {MINCHO, TIMES})
        self.assertEqual(set(re.findall(rb"\\fs(\d+)", self.data)), {b"16"})

    def test_red_underline_and_black_underline(self):
        formats = {(color or 0, ul) for p in self.rtf.paragraphs for _, _, color, ul, _ in p}
        self.assertEqual(formats, {(0, False), (1, True), (0, True)})
        # Every format switch starts from \plain, so nothing leaks between runs.
        body = self.data.split(b"\\pard", 1)[1]
        body = re.sub(rb"\\(?:tab|line) ", b"x", body)    # characters, not formats
        for switch in re.findall(rb"(?:\\[a-z]+-?\d* ?)+", body):
            if switch == b"\\par":
                continue
            self.assertRegex(switch, rb"^\\plain\\f[45]\\fs16(\\cf1)?(\\ul)? $")


class PaperStructureTest(PaperTestCase):
    def test_headings_state_their_points_in_order(self):
        self.assertEqual([t[:3] for _, t in self.headings], ["第1問", "第2問", "第3問", "第4問"])
        for (_, t), pts in zip(self.headings, ["２５", "２８", "２２", "２５"]):
            self.assertIn(f"(配点{pts})", t)

    def test_forty_questions_with_local_numbers_in_their_sections(self):
        self.assertEqual(len(self.questions), 40)
        heads = [i for i, _ in self.headings]
        for code, (first, last) in SECTIONS.items():
            major, letter = int(code[0]), code[1]
            sec = [i for i, l in self.sections
                   if l == letter and heads[major - 1] < i
                   and (major == 4 or i < heads[major])]
            self.assertEqual(len(sec), 1, code)
            base = SECTIONS[f"{major}A"][0] - 1
            for q in range(first, last + 1):
                i, t = self.questions[q - 1]
                self.assertTrue(t.startswith(f"問{q - base}　"), (q, t[:6]))
                self.assertLess(sec[0], i)
                self.assertTrue(t.rstrip().endswith("選べ。"), q)
            next_sec = [i for i, _ in self.sections + self.headings if i > sec[0]]
            if next_sec:
                self.assertLess(self.questions[last - 1][0], min(next_sec))

    def test_four_choices_each_with_the_exceptions(self):
        for q in range(1, 41):
            choices = self.choices_of(q)
            if q == 2:
                self.assertEqual(len(choices), 2)
                self.assertRegex(choices[0], "^①、[^①-④]+　②、[^①-④]+$")
                self.assertRegex(choices[1], "^③、[^①-④]+　④、[^①-④]+$")
            elif q in (17, 24):
                self.assertEqual(choices, [])
                self.assertIn(f"図{'２' if q == 17 else '３'}中の①～④",
                              self.questions[q - 1][1])
            else:
                self.assertEqual([c[:2] for c in choices], ["①、", "②、", "③、", "④、"], q)

    def test_figures_stand_with_their_questions(self):
        self.assertEqual([t[:3] for _, t in self.figures], ["図１　", "図２　", "図３　", "図４　"])
        for (i, _), q in zip(self.figures[:3], (4, 17, 24)):
            start = self.questions[q - 1][0]
            self.assertTrue(start < i < self.texts.index("", start), q)
        self.assertEqual(self.figures[0][0], self.questions[3][0] + 1)
        sec_4a = [i for i, l in self.sections if l == "A"][-1]
        self.assertTrue(sec_4a < self.figures[3][0] < self.questions[30][0])
        self.assertIn("図４", self.texts[sec_4a])
        self.assertIn("図４中のア～エ", self.questions[31][1])

    def test_underline_references_name_marked_parts_of_their_passage(self):
        bounds = sorted([i for i, _ in self.sections] + [len(self.texts)])
        for sec_start, sec_end in zip(bounds, bounds[1:]):
            first_q = min(i for i, _ in self.questions if i > sec_start)
            marked = set()
            for para in self.rtf.paragraphs[sec_start:first_q]:
                for text, _, color, ul, _ in para:
                    if color == 1:
                        self.assertTrue(ul)
                        marked |= set(re.findall(r"^\(([a-z])\)", text))
            self.assertTrue(marked, self.texts[sec_start][:10])
            for i, t in self.questions:
                if sec_start < i < sec_end:
                    for ref in re.findall(r"下線部\(([a-z])\)", t):
                        self.assertIn(ref, marked, t[:10])

    def test_length(self):
        self.assertTrue(250 <= len(self.texts) <= 306, len(self.texts))
        chars = sum(len(t) for t in self.texts)
        self.assertTrue(9900 <= chars <= 12100, chars)
        self.assertEqual(len(re.findall(rb"\\par\b", self.data)), len(self.texts) - 1)


class SourceTest(unittest.TestCase):
    def test_generator_reproduces_the_committed_paper(self):
        paper = make_paper.parse(SOURCE.read_text(encoding="utf-8"))
        self.assertEqual(make_paper.build(paper), RTF.read_bytes())
        run = subprocess.run([sys.executable, str(GENERATOR), "--check"],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)

    def test_check_mode_reports_a_stale_paper(self):
        with tempfile.TemporaryDirectory() as tmp:
            stale = Path(tmp) / "paper.rtf"
            stale.write_bytes(RTF.read_bytes().replace(b"\\par\n", b"\\par\n\\par\n", 1))
            run = subprocess.run([sys.executable, str(GENERATOR), "--check",
                                  "--output", str(stale)], capture_output=True, text=True)
            self.assertEqual(run.returncode, 1)
            self.assertIn("differs", run.stderr)

    def test_every_source_character_survives_cp932(self):
        for n, line in enumerate(SOURCE.read_text(encoding="utf-8").splitlines(), 1):
            self.assertEqual(line.encode("cp932").decode("cp932"), line, n)

    def test_table_cells_are_padded_to_their_column_and_joined_by_one_tab(self):
        # A tab stop is nine half-widths; a column that would end on a stop,
        # or a half-width past one, gets two more; a note keeps its place.
        for table, laid_out in [
                ("\t1位\t2位\nカ\tオーストラリア 65％\tブラジル\n注",
                 "　\t1位" + "　" * 9 + "\t2位\nカ\tオーストラリア 65％　\tブラジル\n注"),
                ("\t人口\t1人当たりGNI\nP\t3,800万人\t1.8万ドル",
                 " \t人口　　　 \t1人当たりGNI\nP\t3,800万人　\t1.8万ドル")]:
            self.assertEqual(make_paper.lay_out_table(table), laid_out)

    def test_rtf_paragraphs_are_the_source_paragraphs(self):
        paper = make_paper.parse(SOURCE.read_text(encoding="utf-8"))
        self.assertEqual([p.text for p in paper.paragraphs], Rtf(RTF.read_bytes()).texts())


class GeneratorErrorTest(unittest.TestCase):
    """Bad sources are refused with the file and line at fault."""

    def run_generator(self, source_text):
        with tempfile.TemporaryDirectory() as tmp:
            src, out = Path(tmp) / "bad.txt", Path(tmp) / "out.rtf"
            src.write_text(source_text, encoding="utf-8")
            run = subprocess.run([sys.executable, str(GENERATOR), "--source", str(src),
                                  "--output", str(out)], capture_output=True, text=True)
            self.assertFalse(out.exists())
            self.assertEqual(run.returncode, 1)
            return run.stderr.replace(str(src), "bad.txt")

    def test_characters_cp932_lacks_or_changes(self):
        head = "第1問　自然環境と災害(配点２５)\n\n"
        for bad in ("\U0001F30F", "\u301c", "\u2212", "\u00a5"):
            err = self.run_generator(head + f"A　地球{bad}の表面\n")
            self.assertIn("bad.txt:3:", err)
            self.assertIn(f"U+{ord(bad):04X}", err)

    @staticmethod
    def plain_question(real):
        """Index of the first question that refers to an underlined part and
        whose four choices follow it directly, one to a line; and its right
        choice (1 to 4)."""
        for n, line in enumerate(real):
            if line.startswith("問") and "下線部(" in line and \
                    [l[:2] for l in real[n + 1:n + 5]] == ["①、", "②、", "③、", "④、"]:
                return n, CIRCLED.index(line[-1]) + 1
        raise AssertionError("no plain four-choice question in the paper")

    def test_malformed_questions(self):
        real = SOURCE.read_text(encoding="utf-8").split("\n")
        q, _ = self.plain_question(real)
        local = int(re.match("問([0-9]+)", real[q]).group(1))
        marker = re.search(r"下線部\(([a-z])\)", real[q]).group(0)

        def broken(n, line):
            lines = list(real)
            if line is None:
                del lines[n]
            else:
                lines[n] = line
            return "\n".join(lines)

        # what is wrong: (broken source, line at fault, words of the message)
        cases = {
            "a missing choice": (broken(q + 3, None), q + 1, "①②④"),
            "no right choice": (broken(q, real[q].split(" =>")[0]), q + 1, "right choice"),
            "a wrong number": (broken(q, real[q].replace(f"問{local}", f"問{local + 1}", 1)),
                               q + 1, f"問{local}"),
            "a stray bracket": (broken(q + 1, real[q + 1] + "}"), q + 2, "unmatched"),
            "an unknown underline": (broken(q, real[q].replace(marker, "下線部(z)")),
                                     q + 1, "下線部(z)"),
            "choices without a question": (broken(q, None), q + 1, "outside a question"),
            "a table row on a question": (broken(q + 1, "|P\t1"), q + 2, "plain paragraph"),
            "a TAB in a choice": (broken(q + 1, real[q + 1] + "\t1"), q + 2, "choice line"),
        }
        for what, (text, line, words) in cases.items():
            with self.subTest(what):
                err = self.run_generator(text)
                self.assertTrue(err.startswith(f"bad.txt:{line}:"), err)
                self.assertIn(words, err)

    def test_absolute_words_that_mark_only_wrong_answers(self):
        real = SOURCE.read_text(encoding="utf-8").split("\n")
        # A four-choice question, and a 正誤 question whose key ② makes
        # statement ア true and イ false (its statements at st and st + 1,
        # after any table of its own).
        q, right = self.plain_question(real)
        wrong = [k for k in range(1, 5) if k != right]
        tf, st = next((n, a) for n, l in enumerate(real) if l.startswith("問") and l.endswith("=> ②")
                      for a in range(n + 1, n + 9) if real[a].startswith("ア　")
                      and real[a + 1].startswith("イ　")
                      and all(m[:1] in "\t|" for m in real[n + 1:a]))

        def marked(*places):
            lines = list(real)
            for n, word in places:
                lines[n] = lines[n].replace("、", f"、{word}", 1) if lines[n][0] in CIRCLED \
                    else lines[n][:2] + word + lines[n][2:]
            return "\n".join(lines)

        refused = {
            "a wrong choice": (marked((q + wrong[0], "まったく")), q + 1,
                               f"{CIRCLED[wrong[0] - 1]} まったく"),
            "a false statement": (marked((st + 1, "必ず")), tf + 1, "イ 必ず"),
            "ほとんど…ない": (marked((q + wrong[1], "ほとんど雨が降らない。")), q + 1,
                           f"{CIRCLED[wrong[1] - 1]} ほとんど"),
        }
        for what, (text, line, words) in refused.items():
            with self.subTest(what):
                err = self.run_generator(text)
                self.assertTrue(err.startswith(f"bad.txt:{line}:"), err)
                self.assertIn(words, err)
        # The same words are fair when the right answer carries them too.
        for text in (marked((q + wrong[0], "まったく"), (q + right, "すべて")),
                     marked((st, "必ず"), (st + 1, "必ず"))):
            self.assertEqual(len(make_paper.parse(text).questions), 40)


class AnswerKeyTest(unittest.TestCase):
    def test_recorded_right_choices_are_the_programs_answer_key(self):
        paper = make_paper.parse(SOURCE.read_text(encoding="utf-8"))
        rows = answer_key_rows()
        self.assertEqual(len(rows), 40)
        self.assertEqual([q.answer for q in paper.questions], [r[2] for r in rows])
        captions = [f"{q.major}{q.section}-問{q.local}" for q in paper.questions]
        self.assertEqual(captions, [r[1] for r in rows])


if __name__ == "__main__":
    unittest.main()
