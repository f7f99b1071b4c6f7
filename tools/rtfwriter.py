"""Writes the program's rich-text documents: RTF 1 in code page 932.

One writer serves the question paper, the pass-line table and the About text.
A document is a header (fonts, colours, size, line-breaking lists) and a list
of paragraphs; a paragraph is a list of runs, each a piece of text with its
face, colour and underline.  Every paragraph but the last ends in \\par, so a
document whose last paragraph is empty ends on "\\par }".

Japanese text is written as \\'hh escapes of its CP932 bytes, a TAB as \\tab
and a newline as \\line (a break inside the paragraph).  A character that
CP932 cannot hold is an error (RtfEncodingError) naming where it stood, never
a silent "?".
"""

from __future__ import annotations

from dataclasses import dataclass, field


class RtfEncodingError(ValueError):
    """A character of the source has no CP932 form."""


@dataclass(frozen=True)
class Font:
    name: str
    family: str = "fnil"      # fswiss, froman, fmodern, ftech, fnil
    charset: int = 128        # 128 Japanese (Shift-JIS), 2 symbol, 0 ANSI
    pitch: int | None = None  # \fprqN: 1 fixed, 2 variable


@dataclass(frozen=True)
class Run:
    text: str
    font: int = 0
    color: int = 0            # index into the colour table; 0 is black
    underline: bool = False


@dataclass
class Header:
    fonts: list[Font]
    colors: list[tuple[int, int, int]]
    size_pt: float
    default_font: int = 0
    # Japanese line-breaking lists: characters that may not start a line
    # (\fchars) and that may not end one (\lchars); empty leaves them out.
    fchars: str = ""
    lchars: str = ""


@dataclass
class Document:
    header: Header
    paragraphs: list[list[Run]] = field(default_factory=list)

    def add(self, *runs: Run) -> None:
        self.paragraphs.append(list(runs))


def _escape(text: str, where: str = "") -> str:
    """Text as RTF: ASCII literally (with \\ { } escaped), the rest as \\'hh."""
    out = []
    for i, ch in enumerate(text):
        if ch == "\t":
            out.append("\\tab ")
            continue
        if ch == "\n":
            out.append("\\line ")
            continue
        code = ord(ch)
        if 0x20 <= code < 0x7F:
            out.append("\\" + ch if ch in "\\{}" else ch)
            continue
        try:
            raw = ch.encode("cp932")
        except UnicodeEncodeError:
            raise RtfEncodingError(
                f"{where}: character {ch!r} (U+{code:04X}) at column {i + 1} "
                f"has no CP932 form") from None
        out.append("".join(f"\\'{b:02x}" for b in raw))
    return "".join(out)


def _font_entry(index: int, font: Font) -> str:
    pitch = f"\\fprq{font.pitch}" if font.pitch is not None else ""
    return (f"{{\\f{index}\\{font.family}{pitch}\\fcharset{font.charset} "
            f"{_escape(font.name, 'font table')};}}")


def _header(h: Header) -> str:
    fonts = "".join(_font_entry(i, f) for i, f in enumerate(h.fonts))
    colors = "".join(f"\\red{r}\\green{g}\\blue{b};" for r, g, b in h.colors)
    parts = [
        "{\\rtf1\\ansi\\ansicpg932\\deff%d\\deflang1041\\deftab720" % h.default_font,
        "{\\fonttbl" + fonts + "}",
        "\n{\\colortbl" + colors + "}",
    ]
    if h.fchars:
        parts.append("\n{\\*\\fchars " + _escape(h.fchars, "fchars") + "}")
    if h.lchars:
        parts.append("\n{\\*\\lchars " + _escape(h.lchars, "lchars") + "}")
    parts.append("\n\\viewkind4\\uc1\\pard")
    return "".join(parts)


def _half_points(size_pt: float) -> int:
    return int(round(size_pt * 2))


def render(doc: Document, *, names: list[str] | None = None) -> bytes:
    """The document as RTF bytes.  `names` labels each paragraph for errors."""
    h = doc.header
    fs = _half_points(h.size_pt)
    out = [_header(h)]
    state = None   # (font, color, underline) of the text written last
    last = len(doc.paragraphs) - 1
    for n, para in enumerate(doc.paragraphs):
        where = names[n] if names else f"paragraph {n + 1}"
        for run in para:
            if not run.text:
                continue
            want = (run.font, run.color, run.underline)
            if want != state:
                # \plain resets every character format; then set what the run needs.
                fmt = f"\\plain\\f{run.font}\\fs{fs}"
                if run.color:
                    fmt += f"\\cf{run.color}"
                if run.underline:
                    fmt += "\\ul"
                out.append(fmt + " ")
                state = want
            out.append(_escape(run.text, where))
        if n != last:
            out.append("\\par\n")
    out.append("}\n")
    return "".join(out).encode("ascii")


def split_by_script(text: str, *, latin_font: int, japanese_font: int,
                    color: int = 0, underline: bool = False) -> list[Run]:
    """Runs of `text`: ASCII characters in the Latin face, the rest in the
    Japanese face, each run keeping the given colour and underline."""
    runs: list[Run] = []
    for ch in text:
        font = latin_font if ord(ch) < 0x80 else japanese_font
        if runs and runs[-1].font == font:
            last = runs[-1]
            runs[-1] = Run(last.text + ch, font, color, underline)
        else:
            runs.append(Run(ch, font, color, underline))
    return runs
