#!/usr/bin/python3
"""Draws the four figures of the question paper as baseline JPEGs.

    /usr/bin/python3 draw_figures.py JSON_DIR OUT_DIR

Figure 1 (a climograph) is drawn from the monthly normals below with
matplotlib.  Figures 2 to 4 (maps) are drawn with PIL from the pixel paths
that project_maps.mjs writes into JSON_DIR: the geometry at four times the
final size, scaled down for smooth edges, then the labels at the final size
so that the glyphs stay sharp.
"""

from __future__ import annotations

import io
import json
import math
import sys
from dataclasses import dataclass
from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw, ImageFont

GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
PGOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"
DIGITS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LATIN = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

SOURCE_NOTE = "Natural Earth・GSHHG のデータにより作成"

# Pixel sizes of the four pictures, fixed by the exam window's figure boxes.
SIZES = {
    "figure1": (365, 354),
    "figure2": (385, 328),
    "figure3": (474, 342),
    "figure4": (648, 360),
}

# JPEG quality per figure: high enough that lines and glyphs show no ringing.
QUALITY = {"figure1": 95, "figure2": 90, "figure3": 90, "figure4": 88}

SEA = (226, 235, 241)
LAND = (245, 242, 230)
COAST = (60, 60, 60)
BORDER = (125, 125, 125)
PARALLEL = (80, 80, 80)
RIVER = (52, 104, 178)
INK = (0, 0, 0)
WHITE = (255, 255, 255)

SUPER = 4  # supersampling factor of the map geometry


def font(path: str, px: int) -> ImageFont.FreeTypeFont:
    try:
        return ImageFont.truetype(path, px)
    except OSError:
        # The Japanese face has digits and Latin letters too.
        return ImageFont.truetype(GOTHIC, px)


def save_jpeg(img: Image.Image, path: Path, quality: int) -> None:
    """Writes a JFIF baseline JPEG, 4:4:4, colour."""
    img.convert("RGB").save(path, "JPEG", quality=quality, subsampling=0,
                            progressive=False, optimize=True, dpi=(96, 96))


# ---------------------------------------------------------------- figure 1

MONTHS = list(range(1, 13))
TEMPERATURE_C = [24.5, 24.8, 23.0, 19.8, 16.4, 14.0, 13.1, 13.6, 15.0, 17.4, 20.3, 22.7]
PRECIPITATION_MM = [15, 10, 19, 38, 88, 130, 150, 120, 80, 38, 23, 9]


def annual_note() -> str:
    """The corner note with the annual mean temperature and the annual total."""
    mean = sum(TEMPERATURE_C) / 12
    total = sum(PRECIPITATION_MM)
    return f"年平均気温 {mean:.1f}℃\u3000年降水量 {total}mm"


def draw_climograph(path: Path) -> None:
    import matplotlib
    matplotlib.use("Agg")
    from matplotlib import font_manager
    import matplotlib.pyplot as plt

    font_manager.fontManager.addfont(GOTHIC)
    gothic = font_manager.FontProperties(fname=GOTHIC).get_name()
    plt.rcParams.update({
        "font.family": gothic,
        "font.size": 9,            # 9 pt at 100 dpi is 12.5 px
        "axes.linewidth": 0.8,
        "xtick.direction": "in",
        "ytick.direction": "in",
        "xtick.major.size": 3,
        "ytick.major.size": 3,
        "axes.unicode_minus": False,
    })

    width, height = SIZES["figure1"]
    dpi = 100
    fig = plt.figure(figsize=(width / dpi, height / dpi), dpi=dpi, facecolor="white")
    # Axes box in figure fractions: room for the title line, axis units and
    # tick labels on both sides.
    temp_ax = fig.add_axes((0.135, 0.12, 0.73, 0.72))
    rain_ax = temp_ax.twinx()

    rain_ax.bar(MONTHS, PRECIPITATION_MM, width=0.62, color="#9fb4c8",
                edgecolor="#4d6378", linewidth=0.6, zorder=2)
    rain_ax.set_ylim(0, 300)
    rain_ax.set_yticks(range(0, 301, 50))

    # The temperature line is drawn over the bars.
    temp_ax.set_zorder(rain_ax.get_zorder() + 1)
    temp_ax.patch.set_visible(False)
    temp_ax.plot(MONTHS, TEMPERATURE_C, color="black", linewidth=1.3,
                 marker="o", markersize=4.2, markerfacecolor="black", zorder=3)
    temp_ax.set_ylim(0, 30)
    temp_ax.set_yticks(range(0, 31, 5))
    temp_ax.set_xlim(0.4, 12.6)
    temp_ax.set_xticks(MONTHS)
    temp_ax.set_xticklabels([str(m) for m in MONTHS])
    temp_ax.grid(axis="y", color="#c8c8c8", linewidth=0.6, linestyle="-")
    temp_ax.set_axisbelow(True)

    for ax in (temp_ax, rain_ax):
        ax.tick_params(labelsize=9, pad=2.5)

    # Units over the axes, the month label under the last tick.
    temp_ax.text(0.0, 1.045, "気温（℃）", transform=temp_ax.transAxes,
                 ha="center", va="bottom", fontsize=9)
    temp_ax.text(1.0, 1.045, "降水量（mm）", transform=temp_ax.transAxes,
                 ha="center", va="bottom", fontsize=9)
    temp_ax.text(1.0, -0.075, "（月）", transform=temp_ax.transAxes,
                 ha="left", va="top", fontsize=9)

    fig.text(0.02, 0.985, "図１", ha="left", va="top", fontsize=11.5)
    fig.text(0.98, 0.985, annual_note(), ha="right", va="top", fontsize=8.6)

    buf = io.BytesIO()
    fig.savefig(buf, format="png", dpi=dpi, facecolor="white")
    plt.close(fig)
    buf.seek(0)
    img = Image.open(buf).convert("RGB")
    if img.size != (width, height):
        raise RuntimeError(f"climograph rendered at {img.size}, not {(width, height)}")
    save_jpeg(img, path, QUALITY["figure1"])


# ---------------------------------------------------------------- maps

def even_odd_mask(rings: list[list[list[float]]], size: tuple[int, int]) -> np.ndarray:
    """Rasterises closed rings with the even-odd rule at SUPER times size."""
    w, h = size[0] * SUPER, size[1] * SUPER
    mask = np.zeros((h, w), dtype=bool)
    for ring in rings:
        pts = [(x * SUPER, y * SUPER) for x, y in ring]
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        x0 = max(0, int(math.floor(min(xs))))
        y0 = max(0, int(math.floor(min(ys))))
        x1 = min(w, int(math.ceil(max(xs))) + 1)
        y1 = min(h, int(math.ceil(max(ys))) + 1)
        if x1 <= x0 or y1 <= y0:
            continue
        tile = Image.new("1", (x1 - x0, y1 - y0), 0)
        ImageDraw.Draw(tile).polygon([(x - x0, y - y0) for x, y in pts], fill=1)
        mask[y0:y1, x0:x1] ^= np.asarray(tile, dtype=bool)
    return mask


def dashed(points: list[tuple[float, float]], on: float, off: float) -> list[list[tuple[float, float]]]:
    """Cuts a polyline into dashes of length `on` with gaps `off`."""
    dashes: list[list[tuple[float, float]]] = []
    pattern = [on, off]
    phase, left = 0, on
    current: list[tuple[float, float]] = [points[0]]
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        seg = math.hypot(bx - ax, by - ay)
        pos = 0.0
        while seg - pos > left:
            pos += left
            t = pos / seg
            p = (ax + (bx - ax) * t, ay + (by - ay) * t)
            if phase == 0:
                current.append(p)
                dashes.append(current)
            else:
                current = [p]
            phase ^= 1
            left = pattern[phase]
        left -= seg - pos
        if phase == 0:
            current.append((bx, by))
    if phase == 0 and len(current) >= 2:
        dashes.append(current)
    return dashes


def scaled(pts: list[list[float]]) -> list[tuple[float, float]]:
    return [(x * SUPER, y * SUPER) for x, y in pts]


@dataclass
class MapStyle:
    title: str
    marker: str                   # "circled" (①–④) or "boxed" (ア–エ)
    scale_km: int                 # length of the scale bar
    scale_at: tuple[int, int]     # left end of the scale bar (final pixels)
    note_at: tuple[int, int, str] # anchor point and PIL anchor of the source note
    label_offset: float = 15.0    # dot centre to label centre, final pixels
    label_radius: float = 9.5     # half the width of a label's circle or box
    legend_at: tuple[int, int] | None = None   # top-left corner of the legend box
    legend: tuple[tuple[str, str], ...] = ()   # (symbol kind, text), top to bottom


MAP_STYLES = {
    "figure2": MapStyle("図２", "circled", 1000, (14, 300), (379, 322, "rs"),
                        label_radius=8.8, legend_at=(300, 6),
                        legend=(("oil", "原油"), ("iron", "鉄鉱石"), ("copper", "銅鉱"),
                                ("tin", "すず鉱"))),
    "figure3": MapStyle("図３", "circled", 500, (14, 322), (468, 336, "rs")),
    "figure4": MapStyle("図４", "boxed", 500, (548, 328), (642, 354, "rs"), label_radius=10,
                        legend_at=(6, 300), legend=(("river", "主な河川"),)),
}

SIDES = {
    "n": (0, -1), "s": (0, 1), "e": (1, 0), "w": (-1, 0),
    "ne": (0.71, -0.71), "nw": (-0.71, -0.71), "se": (0.71, 0.71), "sw": (-0.71, 0.71),
}

# A label standing farther than this from its mark is joined to it by a line.
LEADER_BEYOND = 18.0


def label_centre(place: dict, offset: float) -> tuple[float, float]:
    """Where the label of a place stands: its own offset, if it has one, else
    the map's, in the direction of its side."""
    dx, dy = SIDES[place["side"]]
    offset = place.get("offset", offset)
    return place["x"] + dx * offset, place["y"] + dy * offset


def leader(g: ImageDraw.ImageDraw, start: tuple[float, float], end: tuple[float, float],
           gap_start: float, gap_end: float, scale: float) -> None:
    """A thin line from start to end, stopping gap_start short of start and
    gap_end short of end (the mark's and the label's edges)."""
    (ax, ay), (bx, by) = start, end
    length = math.hypot(bx - ax, by - ay)
    if length <= gap_start + gap_end:
        return
    ux, uy = (bx - ax) / length, (by - ay) / length
    g.line([((ax + ux * gap_start) * scale, (ay + uy * gap_start) * scale),
            ((bx - ux * gap_end) * scale, (by - uy * gap_end) * scale)],
           fill=INK, width=int(1.0 * scale))


def draw_symbol(g: ImageDraw.ImageDraw, kind: str, x: float, y: float, scale: float) -> None:
    """The mark of a place, centred on x, y: a dot, or the symbol of the
    resource mined there (a disc for oil, a square for iron ore, a triangle
    for copper, a diamond for tin), black on a white rim; "river" is a short
    stretch of river."""
    if kind == "river":
        g.line([(x - 9 * scale, y + 2 * scale), (x - 3 * scale, y - 2 * scale),
                (x + 3 * scale, y + 2 * scale), (x + 9 * scale, y - 2 * scale)],
               fill=RIVER, width=int(1.4 * scale), joint="curve")
        return
    size = {"dot": 2.8, "oil": 4.0, "iron": 3.6, "copper": 4.0, "tin": 4.4}[kind] * scale
    rim = (1.2 if kind == "dot" else 1.3) * scale
    for r, colour in ((size + rim, WHITE), (size, INK)):
        if kind in ("dot", "oil"):
            g.ellipse((x - r, y - r, x + r, y + r), fill=colour)
        elif kind == "iron":
            g.rectangle((x - r, y - r, x + r, y + r), fill=colour)
        elif kind == "tin":
            g.polygon([(x, y - r), (x + r * 0.8, y), (x, y + r), (x - r * 0.8, y)], fill=colour)
        else:
            g.polygon([(x, y - r), (x + r * 0.95, y + r * 0.62), (x - r * 0.95, y + r * 0.62)],
                      fill=colour)


def text_with_halo(draw: ImageDraw.ImageDraw, xy, text, fnt, anchor, pad=1) -> None:
    """Text on a white patch, so that lines under it do not break it up."""
    box = draw.textbbox(xy, text, font=fnt, anchor=anchor)
    draw.rectangle((box[0] - pad, box[1] - pad, box[2] + pad, box[3] + pad), fill=WHITE)
    draw.text(xy, text, font=fnt, fill=INK, anchor=anchor)


def draw_map(name: str, data: dict, path: Path) -> None:
    style = MAP_STYLES[name]
    size = (data["width"], data["height"])
    if size != SIZES[name]:
        raise RuntimeError(f"{name}: projected for {size}, needs {SIZES[name]}")
    w, h = size

    # Geometry at SUPER times the final size.
    land = even_odd_mask([r["pts"] for r in data["land"]], size)
    land &= ~even_odd_mask([r["pts"] for r in data["lakes"]], size)
    pixels = np.empty(land.shape + (3,), dtype=np.uint8)
    pixels[:] = SEA
    pixels[land] = LAND
    big = Image.fromarray(pixels, "RGB")
    g = ImageDraw.Draw(big)

    for line in data["borders"]:
        g.line(scaled(line["pts"]), fill=BORDER, width=int(0.8 * SUPER), joint="curve")
    # Over the borders, which many rivers form.
    for line in data.get("rivers", []):
        g.line(scaled(line["pts"]), fill=RIVER, width=int(1.0 * SUPER), joint="curve")
    for line in data["coast"]:
        g.line(scaled(line["pts"]), fill=COAST, width=int(0.9 * SUPER), joint="curve")
    for ring in data["lakes"]:
        pts = scaled(ring["pts"])
        g.line(pts + pts[:1], fill=COAST, width=int(0.8 * SUPER), joint="curve")
    for par in data["parallels"]:
        for line in par["lines"]:
            for dash in dashed(scaled(line["pts"]), 5 * SUPER, 3 * SUPER):
                g.line(dash, fill=PARALLEL, width=int(0.9 * SUPER))

    # Marker dots and the frames of their labels, each label inside the
    # picture and, when it stands far out, on a leader line.
    for place in data["places"]:
        x, y = place["x"] * SUPER, place["y"] * SUPER
        lx, ly = label_centre(place, style.label_offset)
        if not (11 <= lx <= w - 11 and 11 <= ly <= h - 11):
            raise RuntimeError(f"{name}: the label of {place['label']} falls outside the picture")
        if math.hypot(lx - place["x"], ly - place["y"]) > LEADER_BEYOND:
            leader(g, (place["x"], place["y"]), (lx, ly), 6.5, style.label_radius, SUPER)
        lx, ly = lx * SUPER, ly * SUPER
        r = style.label_radius * SUPER
        if style.marker == "circled":
            g.ellipse((lx - r, ly - r, lx + r, ly + r), fill=WHITE, outline=INK,
                      width=int(1.3 * SUPER))
        else:
            g.rectangle((lx - r, ly - r, lx + r, ly + r), fill=WHITE, outline=INK,
                        width=int(1.1 * SUPER))
        draw_symbol(g, place.get("kind", "dot"), x, y, SUPER)

    # Leaders from the river letters to their rivers.
    for river in data.get("riverLabels", []):
        leader(g, (river["x"], river["y"]),
               (river["x"] + river["dx"], river["y"] + river["dy"]), 0, 6.5, SUPER)

    # Legend: a white box with a symbol and its meaning on each line.
    if style.legend_at:
        lx, ly = style.legend_at
        width = 24 + 13 * max(len(text) for _, text in style.legend)
        g.rectangle((lx * SUPER, ly * SUPER, (lx + width) * SUPER,
                     (ly + 6 + 16 * len(style.legend)) * SUPER),
                    fill=WHITE, outline=(90, 90, 90), width=int(0.8 * SUPER))
        for n, (kind, _) in enumerate(style.legend):
            draw_symbol(g, kind, (lx + 12) * SUPER, (ly + 11 + 16 * n) * SUPER, SUPER)

    # Scale bar: 0 and the length in km, ticks at both ends.
    sx, sy = style.scale_at
    length = data["scale"] * style.scale_km / 1000
    g.rectangle((sx * SUPER, (sy - 1) * SUPER, (sx + length) * SUPER, (sy + 1) * SUPER), fill=INK)
    for tx in (sx, sx + length / 2, sx + length):
        g.rectangle(((tx - 0.5) * SUPER, (sy - 5) * SUPER, (tx + 0.5) * SUPER, sy * SUPER), fill=INK)

    img = big.resize(size, Image.LANCZOS)
    d = ImageDraw.Draw(img)

    # Labels at the final size.
    digits = font(DIGITS_BOLD, 14)
    kana = font(GOTHIC, 16)
    latin = font(LATIN, 11)
    gothic_small = font(PGOTHIC, 12)
    for place in data["places"]:
        lx, ly = label_centre(place, style.label_offset)
        if style.marker == "circled":
            d.text((lx, ly + 0.5), place["label"], font=digits, fill=INK, anchor="mm")
        else:
            d.text((lx, ly + 0.5), place["label"], font=kana, fill=INK, anchor="mm")

    for par in data["parallels"]:
        x, y = par["at"]
        text_with_halo(d, (x, y - 3), par["label"], latin, "mb")

    river_letter = font(DIGITS_BOLD, 13)
    for river in data.get("riverLabels", []):
        x, y = river["x"] + river["dx"], river["y"] + river["dy"]
        text_with_halo(d, (x, y), river["label"], river_letter, "mm")

    if style.legend_at:
        lx, ly = style.legend_at
        for n, (_, text) in enumerate(style.legend):
            d.text((lx + 23, ly + 11 + 16 * n), text, font=gothic_small, fill=INK, anchor="lm")

    text_with_halo(d, (sx + length + 4, sy + 1), f"{style.scale_km}km", latin, "ls")
    d.text((sx - 1, sy - 6), "0", font=latin, fill=INK, anchor="lb")

    title = font(GOTHIC, 15)
    text_with_halo(d, (6, 5), style.title, title, "lt", pad=2)
    nx, ny, nanchor = style.note_at
    text_with_halo(d, (nx, ny), SOURCE_NOTE, gothic_small, nanchor)

    d.rectangle((0, 0, w - 1, h - 1), outline=(90, 90, 90), width=1)
    save_jpeg(img, path, QUALITY[name])


def main(argv: list[str]) -> int:
    if len(argv) != 3:
        print("usage: draw_figures.py JSON_DIR OUT_DIR", file=sys.stderr)
        return 2
    json_dir, out_dir = Path(argv[1]), Path(argv[2])
    out_dir.mkdir(parents=True, exist_ok=True)
    draw_climograph(out_dir / "figure1.jpg")
    for name in ("figure2", "figure3", "figure4"):
        data = json.loads((json_dir / f"{name}.json").read_text())
        draw_map(name, data, out_dir / f"{name}.jpg")
    for name in SIZES:
        p = out_dir / f"{name}.jpg"
        print(f"{p}: {p.stat().st_size} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
