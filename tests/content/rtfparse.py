"""A small RTF reader for the content tests, independent of the writer.

It reads what the documents need and nothing more: groups, control words and
symbols, \\'hh bytes (runs of them are joined and decoded as CP932, strictly,
so a broken double-byte character is an error), the font and colour tables,
the \\* groups (\\fchars and \\lchars are kept, the rest skipped), and in the
body the paragraph breaks (\\par), the line breaks (\\line, read as "\\n")
and tabs (\\tab).  Every control word of the body is recorded so that tests
can see which formatting a document uses.
"""

from __future__ import annotations

from dataclasses import dataclass, field


class RtfSyntaxError(ValueError):
    pass


@dataclass
class FontEntry:
    index: int
    name: str = ""
    words: dict[str, int | None] = field(default_factory=dict)


@dataclass
class RtfDocument:
    header_words: dict[str, int | None] = field(default_factory=dict)
    fonts: list[FontEntry] = field(default_factory=list)
    colors: list[tuple[int, int, int]] = field(default_factory=list)
    fchars: str = ""
    lchars: str = ""
    body_words: list[tuple[str, int | None]] = field(default_factory=list)
    paragraphs: list[str] = field(default_factory=list)


def tokenize(data: bytes):
    """Yields ("{",), ("}",), ("word", name, param), ("byte", value) and
    ("text", bytes).  Line ends are not text in RTF and are dropped."""
    i, n = 0, len(data)
    while i < n:
        c = data[i]
        if c == 0x7B:
            yield ("{",)
            i += 1
        elif c == 0x7D:
            yield ("}",)
            i += 1
        elif c in (0x0D, 0x0A):
            i += 1
        elif c == 0x5C:
            if i + 1 >= n:
                raise RtfSyntaxError("backslash at the end of the data")
            d = data[i + 1]
            if d == 0x27:  # \'hh
                hexdigits = data[i + 2:i + 4]
                try:
                    yield ("byte", int(hexdigits.decode("ascii"), 16))
                except (UnicodeDecodeError, ValueError):
                    raise RtfSyntaxError(f"bad \\' escape at {i}") from None
                if len(hexdigits) != 2:
                    raise RtfSyntaxError(f"short \\' escape at {i}")
                i += 4
            elif chr(d).isalpha():
                j = i + 1
                while j < n and chr(data[j]).isalpha():
                    j += 1
                name = data[i + 1:j].decode("ascii")
                k = j
                if k < n and (data[k] == 0x2D or chr(data[k]).isdigit()):
                    k += 1
                    while k < n and chr(data[k]).isdigit():
                        k += 1
                param = int(data[j:k]) if k > j else None
                if k < n and data[k] == 0x20:  # the delimiting blank
                    k += 1
                yield ("word", name, param)
                i = k
            else:  # control symbol: \\ \{ \} \* \~ ...
                yield ("word", chr(d), None)
                i += 2
        else:
            j = i
            while j < n and data[j] not in (0x7B, 0x7D, 0x5C, 0x0D, 0x0A):
                j += 1
            yield ("text", data[i:j])
            i = j


# Control symbols and words that stand for a character of the text: the
# escaped braces and backslash, and \\line, a line break inside a paragraph
# (the rows of a table), read as a newline.
_SYMBOL_TEXT = {"\\": b"\\", "{": b"{", "}": b"}", "line": b"\n"}


def parse(data: bytes) -> RtfDocument:
    doc = RtfDocument()
    # Each open group has a destination: "body", "fonttbl", "font",
    # "colortbl", "fchars", "lchars" or "skip".
    stack: list[str] = []
    pending = bytearray()        # CP932 bytes not yet decoded
    paragraph: list[str] = []
    font: FontEntry | None = None
    color = [0, 0, 0]
    after_star = False
    started = False
    in_body = False

    def text_of(raw: bytes) -> str:
        try:
            return raw.decode("cp932")
        except UnicodeDecodeError as e:
            raise RtfSyntaxError(f"not CP932: {bytes(raw)!r}: {e}") from None

    def flush() -> None:
        if not pending:
            return
        dest = stack[-1] if stack else "body"
        text = text_of(bytes(pending))
        pending.clear()
        if dest == "body":
            paragraph.append(text)
        elif dest == "font" and font is not None:
            font.name += text
        elif dest == "colortbl":
            for _ in range(text.count(";")):
                doc.colors.append((color[0], color[1], color[2]))
                color[:] = [0, 0, 0]
        elif dest == "fchars":
            doc.fchars += text
        elif dest == "lchars":
            doc.lchars += text

    for token in tokenize(data):
        kind = token[0]
        if kind in ("byte", "text"):
            if kind == "byte":
                pending.append(token[1])
            else:
                pending.extend(token[1])
            after_star = False
            continue
        if kind == "word" and token[1] in _SYMBOL_TEXT:
            pending.extend(_SYMBOL_TEXT[token[1]])
            continue
        flush()
        if kind == "{":
            if started and not stack:
                raise RtfSyntaxError("text after the end of the document")
            parent = stack[-1] if stack else None
            if parent is None:
                dest = "body"
            elif parent == "fonttbl":
                dest = "font"
                font = FontEntry(index=-1)
            elif parent in ("skip", "colortbl", "font", "fchars", "lchars"):
                dest = "skip"
            else:
                dest = "body"
            stack.append(dest)
            started = True
            continue
        if kind == "}":
            if not stack:
                raise RtfSyntaxError("unbalanced }")
            dest = stack.pop()
            if dest == "font" and font is not None:
                font.name = font.name.rstrip(";")
                doc.fonts.append(font)
                font = None
            after_star = False
            continue
        # A control word.
        _, name, param = token
        if not stack:
            raise RtfSyntaxError(f"\\{name} outside the document group")
        dest = stack[-1]
        if name == "*":
            after_star = True
            continue
        if after_star:
            after_star = False
            stack[-1] = name if name in ("fchars", "lchars") else "skip"
            continue
        if dest == "skip" or dest in ("fchars", "lchars"):
            continue
        if name in ("fonttbl", "colortbl", "stylesheet", "info"):
            stack[-1] = {"fonttbl": "fonttbl", "colortbl": "colortbl"}.get(name, "skip")
            continue
        if dest == "font" and font is not None:
            if name == "f":
                font.index = param if param is not None else -1
            else:
                font.words[name] = param
            continue
        if dest == "colortbl":
            if name in ("red", "green", "blue"):
                color[("red", "green", "blue").index(name)] = param or 0
            continue
        if dest == "body":
            # The words before the first \pard are the document's header.
            if not in_body and name != "pard" and len(stack) == 1:
                doc.header_words[name] = param
                continue
            in_body = True
            doc.body_words.append((name, param))
            if name == "par":
                doc.paragraphs.append("".join(paragraph))
                paragraph.clear()
            elif name == "tab":
                paragraph.append("\t")
        # Other destinations ignore their control words.

    if stack:
        raise RtfSyntaxError(f"{len(stack)} group(s) left open")
    if pending:
        flush()
    doc.paragraphs.append("".join(paragraph))
    return doc


def columns(text: str) -> int:
    """Width of `text` in a fixed-pitch Japanese face: ASCII and half-width
    katakana one column, every other character (ideographs, kana, U+3000)
    two."""
    width = 0
    for ch in text:
        code = ord(ch)
        width += 1 if code < 0x80 or 0xFF61 <= code <= 0xFF9F else 2
    return width
