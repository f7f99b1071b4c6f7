#!/usr/bin/python3
"""Makes the two information documents from their readable sources:

    resources/src/passline.txt  ->  resources/passline.rtf  (verdict windows)
    resources/src/about.txt     ->  resources/about.rtf     (About window)

A source is UTF-8 text, one paragraph per line; the final newline ends the
last line, so a source ending in an empty line gives a document whose last
paragraph is empty.  Columns in the sources are aligned with ideographic
spaces (U+3000) for a fixed-pitch face, and a tab stays a tab.

Both documents share one header: the fixed-pitch "ＭＳ ゴシック" at 9 pt,
black as the only colour, and the Japanese line-breaking lists.

    make_infodocs.py [OUTPUT_DIR]     (default: resources/)
"""

from __future__ import annotations

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from rtfwriter import Document, Font, Header, Run, render  # noqa: E402

GOTHIC = Font("ＭＳ ゴシック", family="fmodern", charset=128, pitch=1)

# Characters that may not start a line: closing brackets and quotes,
# punctuation, iteration marks, the middle dot and units that follow a number.
NOT_AT_LINE_START = (
    "!%),.:;?]}°’”‰′″℃、。々〉》」』】〕゛゜ゝゞ・ヽヾ"
    "！％），．：；？］｝｡｣､･ﾞﾟ￠"
)
# Characters that may not end a line: opening brackets and quotes, and
# currency signs that go before a number.
NOT_AT_LINE_END = "$([{‘“〈《「『【〔＄（［｛｢￡￥"

DOCUMENTS = [("passline.txt", "passline.rtf"), ("about.txt", "about.rtf")]


def header() -> Header:
    return Header(fonts=[GOTHIC], colors=[(0, 0, 0)], size_pt=9,
                  fchars=NOT_AT_LINE_START, lchars=NOT_AT_LINE_END)


class SourceError(ValueError):
    """A source text that cannot become a document."""


def paragraphs(text: str, name: str) -> list[str]:
    if "\r" in text:
        raise SourceError(f"{name}: carriage return in the source; use LF line ends")
    if not text.endswith("\n"):
        raise SourceError(f"{name}: the source must end with a newline")
    return text[:-1].split("\n")


def convert(text: str, name: str) -> bytes:
    paras = paragraphs(text, name)
    doc = Document(header())
    for para in paras:
        doc.add(Run(para, font=0))
    labels = [f"{name} line {i}" for i in range(1, len(paras) + 1)]
    return render(doc, names=labels)


def main(argv: list[str]) -> int:
    root = Path(__file__).resolve().parent.parent
    out_dir = Path(argv[1]) if len(argv) > 1 else root / "resources"
    for source, target in DOCUMENTS:
        text = (root / "resources" / "src" / source).read_text(encoding="utf-8")
        (out_dir / target).write_bytes(convert(text, source))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
