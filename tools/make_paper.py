#!/usr/bin/python3
"""Builds the question paper, resources/paper.rtf, from resources/src/paper.txt.

Source format (UTF-8):

  * Every line is one paragraph of the paper; an empty line is an empty
    paragraph.  A line that begins with "#" is a note and no paragraph.
  * The kind of a paragraph follows from how it begins:
      "第1問" … "第4問"   heading of a major question; it states its points
                          as "(配点２５)" with full-width digits
      "A　" "B　" "C　"    passage of a section (letter + ideographic space)
      "問<n>　"           question with its local number in ASCII digits; the
                          line ends in " => ③", the right choice, which is
                          recorded and not printed
      "①、" … "④、"       a choice; two may share a paragraph, the second
                          after an ideographic space ("①、…　②、…")
      "図１　" … "図４　"  the line naming a figure
      anything else       plain text (instructions, statements, a passage
                          that runs on over several paragraphs)
  * A table is one plain paragraph: its first row is the line of the
    paragraph, and each further row a line that begins with "|", which goes
    on the same paragraph after a line break (\\line).  Cells are separated
    by one TAB.  The generator pads every cell but the last of its row with
    spaces (ideographic ones, and one ASCII space for an odd half-width) to
    the width of the widest cell of its column, so that one tab (\\tab, a
    stop every 720 twips) takes every row to the same stop, counting a
    full-width character as two half-widths and a tab stop as nine (8 points
    is 160 twips); the columns then line up in the view and in a plain-text
    reading alike.  A row of one cell (a note under the table) takes no part
    in the columns.
  * {text} is red and underlined: the underlined parts of a passage, each
    opening with its marker "(a)", "(b)", … in order within its section.
    [text] is black and underlined: a sentence that a question quotes.
    Neither nests, and these four brackets have no other use.
  * A question's choices follow it, after any plain paragraphs of its own
    (statements ア and イ, a quoted sentence) and its figure line: four
    paragraphs, or two paragraphs of two choices, or none when the question
    asks for a place marked ① to ④ on a figure ("図２中の①～④").
  * "下線部(x)" in a question must name a marker of its own section.
  * Absolute words (まったく, 一切, のみ, すべて, ほとんど…ない, 必ず, …) give a
    wrong answer away to a candidate who knows nothing of the subject.  A
    question whose wrong choices carry them while its right choice does not
    is refused; so is a 正誤 question (statements ア and イ, choices
    "ア 正　イ 誤" …) whose false statements alone carry them.

Japanese text is set in 平成明朝 and ASCII in Times, all at 8 points.  Every
character must survive the trip through code page 932 unchanged: one that CP932
lacks, or that comes back as another character (U+301C 〜 is written as 0x8160
and read back as U+FF5E ～), is an error.

Usage:  make_paper.py [--source FILE] [--output FILE] [--check]
Any error is reported as FILE:LINE: message, with exit status 1.  --check
builds the paper in memory and exits 1 unless it equals the output file byte
for byte.
"""

from __future__ import annotations

import argparse
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from rtfwriter import (Document, Font, Header, RtfEncodingError, Run,  # noqa: E402
                       render, split_by_script)

ROOT = Path(__file__).resolve().parent.parent
SOURCE = ROOT / "resources" / "src" / "paper.txt"
OUTPUT = ROOT / "resources" / "paper.rtf"

FONTS = [
    Font("MS Sans Serif", "fswiss", 0, 2),
    Font("Symbol", "froman", 2, 2),
    Font("ＭＳ ゴシック", "fmodern", 128, 1),
    Font("ＭＳ ゴシック", "fmodern", 128, 1),
    Font("平成明朝", "froman", 128, 1),
    Font("Times", "froman", 0, 2),
    Font("ＭＳ Ｐゴシック", "fswiss", 128, 2),
]
MINCHO, TIMES = 4, 5
BLACK, RED = 0, 1
COLORS = [(0, 0, 0), (255, 0, 0)]
SIZE_PT = 8
# Japanese line breaking: characters that may not begin a line, and that may
# not end one.
FCHARS = ("!%),.:;?]}°’”‰′″℃、。々〉》」』】〕゛゜ゝゞ・ヽヾ！％），．：；？］｝"
          "｡｣､･ﾞﾟ￠")
LCHARS = "$([{‘“〈《「『【〔＄（［｛｢￡￥"

# The shape of the paper: for each major question its points and, for each
# section, how many questions it holds.
MAJORS = {
    1: (25, {"A": 3, "B": 3, "C": 4}),
    2: (28, {"A": 4, "B": 3, "C": 4}),
    3: (22, {"A": 3, "B": 3, "C": 3}),
    4: (25, {"A": 4, "B": 3, "C": 3}),
}
CIRCLED = "①②③④"
FULL_DIGITS = str.maketrans("０１２３４５６７８９", "0123456789")

HEADING = re.compile(r"第([0-9０-９]+)問")
POINTS = re.compile(r"\(配点([０-９]+)\)")
SECTION = re.compile(r"([ABC])　")
QUESTION = re.compile(r"問([0-9]+)　")
QUESTION_LIKE = re.compile(r"問[0-9０-９]")
ANSWER = re.compile(r"^(.*?)\s+=>\s*(\S+)\s*$")
CHOICE = re.compile(r"([①②③④])、")
FIGURE = re.compile(r"図([１２３４])　")
FIGURE_LIKE = re.compile(r"図[0-9０-９]")
MARKER = re.compile(r"^\(([a-z])\)")
REFERENCE = re.compile(r"下線部\(([a-z])\)")
FIGURE_PLACES = re.compile(r"図([１２３４])中の①～④")
ABSOLUTE = re.compile(r"まったく|全く|一切|のみ|すべて|全て|決して|必ず|限って|限られ|常に|唯一"
                      r"|ほとんど[^。]*?な[いかく]")
STATEMENT = re.compile(r"([アイ])　")
ROW = "|"           # opens a further row of a table
TAB_STOP = 720 * 2 // (SIZE_PT * 20)   # half-width characters to a tab stop
# The choices of a 正誤 question, in the usual order: which of ア and イ each
# calls true.
TRUTH_CHOICES = {"ア 正　イ 正": (True, True), "ア 正　イ 誤": (True, False),
                 "ア 誤　イ 正": (False, True), "ア 誤　イ 誤": (False, False)}


class PaperError(Exception):
    def __init__(self, line: int, message: str):
        super().__init__(message)
        self.line = line
        self.message = message


@dataclass
class Paragraph:
    line: int               # line of the source, from 1
    kind: str               # heading, section, question, choice, figure, text, blank
    runs: list[tuple[str, str]] = field(default_factory=list)  # (style, text)
    answer: int | None = None   # right choice of a question, 1 to 4

    @property
    def text(self) -> str:
        return "".join(t for _, t in self.runs)


@dataclass
class Question:
    number: int             # 1 to 40 in paper order
    major: int
    section: str
    local: int
    answer: int
    line: int


@dataclass
class Paper:
    paragraphs: list[Paragraph]
    questions: list[Question]


def check_cp932(text: str, line: int) -> None:
    for col, ch in enumerate(text, 1):
        if ch != "\t" and (ord(ch) < 0x20 or ord(ch) == 0x7F):
            raise PaperError(line, f"column {col}: control character U+{ord(ch):04X}")
        if ord(ch) < 0x80:
            continue
        try:
            back = ch.encode("cp932").decode("cp932")
        except UnicodeError:
            raise PaperError(line, f"column {col}: {ch!r} (U+{ord(ch):04X}) has no "
                                   f"CP932 form") from None
        if back != ch:
            raise PaperError(line, f"column {col}: {ch!r} (U+{ord(ch):04X}) would read "
                                   f"back from CP932 as {back!r} (U+{ord(back):04X})")


def parse_runs(text: str, line: int) -> list[tuple[str, str]]:
    """Splits the markup: styles 'plain', 'red' ({…}) and 'under' ([…])."""
    runs: list[tuple[str, str]] = []
    style, buf = "plain", []
    closers = {"red": "}", "under": "]"}
    for col, ch in enumerate(text, 1):
        if ch in "{[":
            if style != "plain":
                raise PaperError(line, f"column {col}: {ch!r} inside an underlined part")
            if buf:
                runs.append((style, "".join(buf)))
            style, buf = ("red" if ch == "{" else "under"), []
        elif ch in "}]":
            if style == "plain" or closers[style] != ch:
                raise PaperError(line, f"column {col}: unmatched {ch!r}")
            if not buf:
                raise PaperError(line, f"column {col}: empty underlined part")
            runs.append((style, "".join(buf)))
            style, buf = "plain", []
        else:
            buf.append(ch)
    if style != "plain":
        raise PaperError(line, f"unclosed {'{' if style == 'red' else '['}")
    if buf:
        runs.append((style, "".join(buf)))
    return runs


def classify(text: str, line: int) -> tuple[str, str, int | None]:
    """The paragraph's kind, its text without the answer note, its answer."""
    if not text:
        return "blank", text, None
    m = ANSWER.match(text)
    if text.startswith("問"):
        if not QUESTION_LIKE.match(text):
            return "text", text, None
        if not m:
            raise PaperError(line, "question without its right choice (\" => ③\" at the end)")
        body, mark = m.group(1), m.group(2)
        if not QUESTION.match(body):
            raise PaperError(line, "malformed question number: write 問 + ASCII digits + "
                                   "an ideographic space")
        if mark not in CIRCLED:
            raise PaperError(line, f"right choice {mark!r} is not one of ①②③④")
        return "question", body, CIRCLED.index(mark) + 1
    if "=>" in text:
        raise PaperError(line, "a right choice (=>) belongs only on a question line")
    if HEADING.match(text):
        return "heading", text, None
    if SECTION.match(text):
        return "section", text, None
    if text[0] in CIRCLED:
        if not CHOICE.match(text):
            raise PaperError(line, "a choice begins with its circled digit and \"、\"")
        return "choice", text, None
    if FIGURE_LIKE.match(text):
        if not FIGURE.match(text):
            raise PaperError(line, "a figure line begins 図１ … 図４ and an ideographic space")
        return "figure", text, None
    return "text", text, None


def read_paragraphs(source: str) -> list[Paragraph]:
    lines = source.split("\n")
    if lines and lines[-1] == "":
        lines.pop()          # the newline that ends the file
    paragraphs: list[Paragraph] = []
    for n, raw in enumerate(lines, 1):
        raw = raw.rstrip("\r")
        if raw.startswith("#"):
            continue
        check_cp932(raw, n)
        if raw.startswith(ROW):
            # A further row of a table: a line break, then the row.
            if not paragraphs or paragraphs[-1].kind != "text":
                raise PaperError(n, f"a table row (\"{ROW}\") goes on a plain paragraph")
            paragraphs[-1].runs += parse_runs("\n" + raw[len(ROW):], n)
            continue
        kind, body, answer = classify(raw, n)
        if "\t" in body and kind != "text":
            raise PaperError(n, f"a TAB belongs in a table, not in a {kind} line")
        paragraphs.append(Paragraph(n, kind, parse_runs(body, n), answer))
    for p in paragraphs:
        if "\t" in p.text:
            if any(style != "plain" for style, _ in p.runs):
                raise PaperError(p.line, "a table is not underlined")
            if "\t\t" in p.text:
                raise PaperError(p.line, "one TAB between cells: the columns are lined up "
                                         "by the generator")
            p.runs = [("plain", lay_out_table(p.text))]
    return paragraphs


def half_widths(text: str) -> int:
    return sum(1 if ord(ch) < 0x80 else 2 for ch in text)


def lay_out_table(text: str) -> str:
    """The rows of a table, each cell but a row's last padded to the width of
    its column, the columns joined by one tab.  A column whose widest cell
    would end on a tab stop, or a half-width past one, is made two
    half-widths wider: commas, points and spaces are narrower in the Latin
    face than a half-width, and a row that fell short of the stop would stop
    there."""
    rows = [row.split("\t") for row in text.split("\n")]
    grid = [r for r in rows if len(r) > 1]
    widths: list[int] = []
    start = 0
    for col in range(max(len(r) for r in grid) - 1):
        width = max(half_widths(r[col]) for r in grid if len(r) > col + 1)
        past = (start + width) % TAB_STOP
        if past == 0 or (past == 1 and width > 1):
            width += 2
        widths.append(width)
        start = ((start + width) // TAB_STOP + 1) * TAB_STOP
    out = []
    for r in rows:
        cells = [cell + pad(widths[col] - half_widths(cell)) if col < len(r) - 1 else cell
                 for col, cell in enumerate(r)]
        out.append("\t".join(cells))
    return "\n".join(out)


def pad(n: int) -> str:
    """n half-widths of blank: ideographic spaces and one ASCII space."""
    return "\u3000" * (n // 2) + " " * (n % 2)


def choice_marks(p: Paragraph) -> list[str]:
    """The circled digits that open the choices of a choice paragraph."""
    text = p.text
    marks = [text[0]]
    for m in re.finditer("　([①②③④])、", text):
        marks.append(m.group(1))
    return marks


def choice_texts(p: Paragraph) -> list[str]:
    """The texts of the choices of a choice paragraph, without "①、"."""
    return [part[2:] for part in re.split("　(?=[①②③④]、)", p.text)]


def check_absolute_words(question: Paragraph, statements: list[Paragraph],
                         choices: list[str]) -> None:
    """Refuses a question whose wrong answers alone carry absolute words."""
    right = question.answer
    items: list[tuple[str, str, bool]] = []   # (name, text, is it true)
    truths = [TRUTH_CHOICES.get(c) for c in choices]
    named = {s.text[0]: s.text for s in statements if STATEMENT.match(s.text)}
    if all(truths) and set(named) == {"ア", "イ"}:
        for n, name in enumerate("アイ"):
            items.append((name, named[name], truths[right - 1][n]))
    else:
        items = [(CIRCLED[k], text, k + 1 == right) for k, text in enumerate(choices)]
    wrong = [(name, m.group(0)) for name, text, true in items if not true
             for m in [ABSOLUTE.search(text)] if m]
    if wrong and not any(ABSOLUTE.search(text) for _, text, true in items if true):
        words = "、".join(f"{name} {word}" for name, word in wrong)
        raise PaperError(question.line, f"absolute words only in wrong answers ({words}): "
                                        "they give the answer away without the subject")


def check_structure(paragraphs: list[Paragraph]) -> list[Question]:
    questions: list[Question] = []
    major = 0
    section = ""
    local = 0
    markers: set[str] = set()
    expected_marker = "a"
    figure = 0
    open_q: Paragraph | None = None     # question still collecting its choices
    open_marks: list[str] = []
    open_choice_paras: list[Paragraph] = []
    open_texts: list[Paragraph] = []    # its own plain paragraphs (statements)
    last_line = paragraphs[-1].line if paragraphs else 1

    def close_question(at: int) -> None:
        nonlocal open_q, open_marks, open_choice_paras, open_texts
        if open_q is None:
            return
        sizes = [len(choice_marks(c)) for c in open_choice_paras]
        if not open_choice_paras:
            if not FIGURE_PLACES.search(open_q.text):
                raise PaperError(open_q.line, "question has no choices")
        elif open_marks != list(CIRCLED) or sizes not in ([1, 1, 1, 1], [2, 2]):
            raise PaperError(open_q.line, "question needs choices ①②③④ in order, one "
                                          "or two to a paragraph "
                                          f"(found {''.join(open_marks)})")
        if open_choice_paras:
            check_absolute_words(open_q, open_texts,
                                 [t for c in open_choice_paras for t in choice_texts(c)])
        open_q, open_marks, open_choice_paras, open_texts = None, [], [], []

    def section_done(at: int) -> None:
        if major and section:
            want = MAJORS[major][1][section]
            have = sum(1 for q in questions if q.major == major and q.section == section)
            if have != want:
                raise PaperError(at, f"section {major}{section} has {have} questions, "
                                     f"not {want}")

    for p in paragraphs:
        text = p.text
        if p.kind == "heading":
            close_question(p.line)
            section_done(p.line)
            if section and section != "C":
                raise PaperError(p.line, f"major question {major} ends after section {section}")
            number = int(HEADING.match(text).group(1).translate(FULL_DIGITS))
            if number != major + 1 or number not in MAJORS:
                raise PaperError(p.line, f"expected 第{major + 1}問")
            pts = POINTS.search(text)
            want = MAJORS[number][0]
            if not pts or int(pts.group(1).translate(FULL_DIGITS)) != want:
                raise PaperError(p.line, f"heading must state its points as "
                                         f"(配点{str(want).translate(str.maketrans('0123456789', '０１２３４５６７８９'))})")
            major, section, local = number, "", 0
            continue
        if major == 0 and p.kind != "blank":
            raise PaperError(p.line, "text before 第1問")
        if p.kind == "section":
            close_question(p.line)
            section_done(p.line)
            letter = text[0]
            if section == "C":
                raise PaperError(p.line, f"major question {major} has only sections A to C")
            want = {"": "A", "A": "B", "B": "C"}[section]
            if letter != want:
                raise PaperError(p.line, f"expected section {want}")
            section = letter
            markers, expected_marker = set(), "a"
        if p.kind in ("section", "text") and section and open_q is None:
            # The passage (which may run on over plain paragraphs): collect
            # its markers, which must come in order.
            for style, t in p.runs:
                if style != "red":
                    continue
                m = MARKER.match(t)
                if not m:
                    raise PaperError(p.line, f"red part {t!r} lacks its marker (a), (b), …")
                if m.group(1) != expected_marker:
                    raise PaperError(p.line, f"marker ({m.group(1)}) out of order; "
                                             f"expected ({expected_marker})")
                markers.add(m.group(1))
                expected_marker = chr(ord(expected_marker) + 1)
            continue
        if p.kind == "question":
            close_question(p.line)
            if not section:
                raise PaperError(p.line, "question before the first section")
            number = int(QUESTION.match(text).group(1))
            if number != local + 1:
                raise PaperError(p.line, f"expected 問{local + 1}")
            local = number
            for ref in REFERENCE.findall(text):
                if ref not in markers:
                    raise PaperError(p.line, f"下線部({ref}) is not marked in section "
                                             f"{major}{section}")
            if any(s == "red" for s, _ in p.runs):
                raise PaperError(p.line, "red underline belongs in passages only")
            questions.append(Question(len(questions) + 1, major, section, local,
                                      p.answer, p.line))
            have = sum(1 for q in questions if q.major == major and q.section == section)
            if have > MAJORS[major][1][section]:
                raise PaperError(p.line, f"too many questions in section {major}{section}")
            open_q = p
            continue
        if p.kind == "choice":
            if open_q is None:
                raise PaperError(p.line, "choice outside a question")
            open_choice_paras.append(p)
            open_marks.extend(choice_marks(p))
            continue
        if p.kind == "figure":
            n = "１２３４".index(text[1]) + 1
            if n != figure + 1:
                raise PaperError(p.line, f"expected 図{'１２３４'[figure]}" if figure < 4
                                 else "only four figures")
            if open_choice_paras:
                raise PaperError(p.line, "a figure line goes before its question's choices")
            figure = n
            continue
        if p.kind == "text":
            if open_choice_paras:
                raise PaperError(p.line, "text between choices; end the question with "
                                         "an empty line")
            if any(s == "red" for s, _ in p.runs):
                raise PaperError(p.line, "red underline belongs in passages only")
            if open_q is not None:
                open_texts.append(p)
            continue
        if p.kind == "blank":
            close_question(p.line)

    close_question(last_line)
    section_done(last_line)
    if major != 4 or section != "C":
        raise PaperError(last_line, "the paper ends before 第4問 C")
    if figure != 4:
        raise PaperError(last_line, f"the paper names {figure} figures, not 4")
    return questions


def parse(source: str) -> Paper:
    paragraphs = read_paragraphs(source)
    if not paragraphs:
        raise PaperError(1, "empty paper")
    return Paper(paragraphs, check_structure(paragraphs))


def build(paper: Paper, where: str = "paper.txt") -> bytes:
    header = Header(fonts=FONTS, colors=COLORS, size_pt=SIZE_PT,
                    fchars=FCHARS, lchars=LCHARS)
    doc = Document(header)
    for p in paper.paragraphs:
        runs: list[Run] = []
        for style, text in p.runs:
            runs += split_by_script(text, latin_font=TIMES, japanese_font=MINCHO,
                                    color=RED if style == "red" else BLACK,
                                    underline=style != "plain")
        doc.add(*runs)
    names = [f"{where}:{p.line}" for p in paper.paragraphs]
    return render(doc, names=names)


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description="Build the question paper RTF.")
    ap.add_argument("--source", type=Path, default=SOURCE)
    ap.add_argument("--output", type=Path, default=OUTPUT)
    ap.add_argument("--check", action="store_true",
                    help="compare with the output file instead of writing it")
    args = ap.parse_args(argv)
    where = str(args.source)
    try:
        text = args.source.read_text(encoding="utf-8")
    except UnicodeDecodeError as e:
        print(f"{where}: not UTF-8: {e}", file=sys.stderr)
        return 1
    try:
        data = build(parse(text), where)
    except PaperError as e:
        print(f"{where}:{e.line}: {e.message}", file=sys.stderr)
        return 1
    except RtfEncodingError as e:
        print(str(e), file=sys.stderr)
        return 1
    if args.check:
        try:
            old = args.output.read_bytes()
        except FileNotFoundError:
            old = None
        if old != data:
            print(f"{args.output}: differs from what {where} gives; run "
                  f"tools/make_paper.py", file=sys.stderr)
            return 1
        return 0
    args.output.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
