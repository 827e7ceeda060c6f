#!/usr/bin/python3
"""Drafts the 16x16 pixel grids of the 252 pictographs from Debian packages.

This was run once to make the first version of glyphs.txt; the grids were
then reviewed and many were redrawn by hand, so running it again would undo
that work. It therefore writes to the file named on the command line
(default: glyphs.draft.txt beside this script) and never to glyphs.txt.

Sources, in order of preference:
  * unicode-data: /usr/share/unicode/EmojiSources.txt maps the pictograph's
    Shift-JIS code to a standard emoji (244 of the 252 have one);
  * fonts-unifont: unifont.otf (plane 0) and unifont_upper.otf (plane 1) are
    16 px pixel fonts; drawn at 16 px without antialiasing they give the
    designer's pixels exactly. Used under the SIL Open Font License 1.1.
  * fonts-symbola: outline font, free for any use; drawn small and
    thresholded where Unifont has no glyph.
  * the keycap digits are composed: a box around Unifont's digit.
Glyphs wider than 14 columns are narrowed by merging similar neighbouring
columns (the frame of the palette pictures covers the outer columns); those
and the keycaps are marked "redrawn", as they were reworked afterwards.
Codes with no standard emoji are left blank, marked "drawn", for the
designer to fill in.
"""
import os
import sys

from fontTools.ttLib import TTFont
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import glyphs  # noqa: E402

EMOJI_SOURCES = "/usr/share/unicode/EmojiSources.txt"
UNIFONT = "/usr/share/fonts/opentype/unifont/unifont.otf"
UNIFONT_UPPER = "/usr/share/fonts/opentype/unifont/unifont_upper.otf"
SYMBOLA = "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf"


def read_sources():
    """Shift-JIS code (int) -> list of code points."""
    mapping = {}
    with open(EMOJI_SOURCES, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = line.split(";")
            if len(fields) >= 2 and fields[1]:
                mapping[int(fields[1], 16)] = [int(c, 16) for c in fields[0].split()]
    return mapping


def render_unifont(font, cp):
    img = Image.new("1", (16, 16), 0)
    draw = ImageDraw.Draw(img)
    draw.fontmode = "1"
    draw.text((0, 0), chr(cp), font=font, fill=1, anchor="la")
    return [[img.getpixel((x, y)) for x in range(16)] for y in range(16)]


def render_symbola(cp):
    # Draw large, crop to the ink, then scale down to fit 14x16 and threshold.
    big = ImageFont.truetype(SYMBOLA, 256)
    img = Image.new("L", (400, 400), 0)
    ImageDraw.Draw(img).text((40, 40), chr(cp), font=big, fill=255)
    box = img.getbbox()
    if box is None:
        return None
    img = img.crop(box)
    w, h = img.size
    scale = min(14 / w, 16 / h)
    nw, nh = max(1, round(w * scale)), max(1, round(h * scale))
    small = img.resize((nw, nh), Image.LANCZOS)
    grid = [[0] * 16 for _ in range(16)]
    ox, oy = (16 - nw) // 2, (16 - nh) // 2
    for y in range(nh):
        for x in range(nw):
            if small.getpixel((x, y)) >= 110:
                grid[oy + y][ox + x] = 1
    return grid


def keycap(font, digit):
    # A box with rounded corners, one column in from the outer ones so that
    # it does not merge with the frame of the palette pictures.
    grid = [[0] * 16 for _ in range(16)]
    for x in range(3, 13):
        grid[1][x] = grid[14][x] = 1
    for y in range(2, 14):
        grid[y][2] = grid[y][13] = 1
    d = render_unifont(font, ord(digit))
    cols = [x for x in range(16) if any(d[y][x] for y in range(16))]
    rows = [y for y in range(16) if any(d[y])]
    dx = (16 - (cols[-1] - cols[0] + 1)) // 2 - cols[0]
    dy = (16 - (rows[-1] - rows[0] + 1)) // 2 - rows[0]
    for y in rows:
        for x in cols:
            if d[y][x]:
                grid[y + dy][x + dx] = 1
    return grid


def squeeze(grid):
    """Narrows ink wider than 14 columns by merging, one at a time, the two
    neighbouring columns that differ least (their ink is kept)."""
    grid = [row[:] for row in grid]
    while True:
        cols = [x for x in range(16) if any(r[x] for r in grid)]
        if not cols or cols[-1] - cols[0] + 1 <= 14:
            return grid
        best = min(range(cols[0], cols[-1]),
                   key=lambda x: (sum(r[x] != r[x + 1] for r in grid), abs(x - 7.5)))
        for r in grid:
            r[best] = r[best] or r[best + 1]
            del r[best + 1]
            r.append(0)


def centre(grid):
    """Moves the ink into columns 1-14 when it fits there."""
    cols = [x for x in range(16) if any(r[x] for r in grid)]
    if not cols or cols[-1] - cols[0] + 1 > 14:
        return grid
    shift = 1 + (14 - (cols[-1] - cols[0] + 1)) // 2 - cols[0]
    out = [[0] * 16 for _ in range(16)]
    for y in range(16):
        for x in cols:
            out[y][x + shift] = grid[y][x]
    return out


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "glyphs.draft.txt")
    if os.path.basename(out_path) == "glyphs.txt":
        sys.exit("refusing to overwrite the reviewed grids")
    sources = read_sources()
    uni = ImageFont.truetype(UNIFONT, 16)
    upper = ImageFont.truetype(UNIFONT_UPPER, 16)
    uni_cmap = TTFont(UNIFONT).getBestCmap()
    upper_cmap = TTFont(UNIFONT_UPPER).getBestCmap()
    sym_cmap = TTFont(SYMBOLA).getBestCmap()
    entries = []
    for e in glyphs.catalogue():
        seq = sources.get(e.code)
        grid, prov, src, how = None, "drawn", "-", ""
        if seq and len(seq) == 2 and seq[1] == 0x20E3:
            grid, prov, src, how = keycap(uni, chr(seq[0])), "redrawn", "U+%04X+20E3" % seq[0], "keycap"
        elif seq:
            cp = seq[0]
            src = "U+%04X" % cp
            if cp in upper_cmap or cp in uni_cmap:
                g = render_unifont(upper if cp > 0xFFFF else uni, cp)
                if any(any(r) for r in g):
                    wide = squeeze(g)
                    grid, prov = centre(wide), "unifont" if wide == g else "redrawn"
                    how = "" if wide == g else "narrowed"
            if grid is None and cp in sym_cmap:
                grid, prov = render_symbola(cp), "symbola"
        if grid is None:
            grid = [[0] * 16 for _ in range(16)]
            prov = "drawn"
        entries.append(glyphs.Glyph(e.index, prov, src, grid, how))
    glyphs.write(out_path, entries)
    counts = {}
    for g in entries:
        counts[g.provenance] = counts.get(g.provenance, 0) + 1
    print(out_path, counts)


if __name__ == "__main__":
    main()
