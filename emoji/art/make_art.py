#!/usr/bin/python3
"""Builds the pictograph artwork from the grids in glyphs.txt.

    make_art.py [--root DIR] [--no-sheet]

writes, under DIR (default: the repository):
  res/emoji/<picture id>.bmp   the palette pictures: 48x18, 4 bits per pixel,
                               three 16x18 cells framed light grey (normal),
                               navy (pressed; black for pictograph 1) and red
                               (hovered), each showing the glyph's columns 2-15;
  res/Tegamiya.tte             the monochrome TrueType font: one outline
                               glyph per pictograph at its private-use
                               character, full-width, 16 pixels of 64 units;
  docs/pictographs-contact-sheet.png
                               every picture enlarged, with index and name.
Needs python3-pil and python3-fonttools (Debian). The output is the same
byte for byte on every run.
"""
import argparse
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import glyphs  # noqa: E402

WHITE, BLACK, GREY, NAVY, RED = 0, 1, 2, 3, 4
PALETTE = [(255, 255, 255), (0, 0, 0), (192, 192, 192), (0, 0, 128), (255, 0, 0)]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))

STRIP_W, STRIP_H, CELL_W = 48, 18, 16

# Font geometry: a 16-pixel em of 1024 units, 64 units a pixel. The grid's top
# row starts 14 pixels above the baseline, as in 16-pixel CJK bitmap faces.
UPM = 1024
PX = UPM // glyphs.SIZE
TOP = 14 * PX
# Vertical metrics of IPAGothic (1802/-246 of 2048) scaled to 1024 units, so
# that a line mixing both faces keeps the height of the text face.
ASCENT, DESCENT = 901, -123
FAMILY = "Tegamiya Pictographs"
VERSION = "Version 1.000"
# head.created/modified: fixed, so that the file is reproducible
# (2026-01-01 00:00:00 UTC, in seconds since 1904-01-01).
TIMESTAMP = 3849984000

COPYRIGHT = ("Copyright (c) 2026 the Tegamiya developers. Glyphs drafted from GNU Unifont "
             "(c) 1998-2022 Roman Czyborra, Paul Hardy, Qianqian Fang, Andrew Miller, "
             "Johnnie Weaver, David Corbett, Nils Moskopp, Rebecca Bettencourt, et al.")
LICENSE = ("This Font Software is licensed under the SIL Open Font License, Version 1.1. "
           "See LICENSES-pictographs.txt beside it.")
LICENSE_URL = "https://openfontlicense.org"


def strip_pixels(entry, glyph):
    """Palette indices of the 48x18 strip, top row first."""
    frames = (GREY, BLACK if entry.index == 1 else NAVY, RED)
    rows = [[WHITE] * STRIP_W for _ in range(STRIP_H)]
    for cell, frame in enumerate(frames):
        x0 = cell * CELL_W
        for x in range(CELL_W):
            rows[0][x0 + x] = rows[STRIP_H - 1][x0 + x] = frame
        for y in range(STRIP_H):
            rows[y][x0] = rows[y][x0 + CELL_W - 1] = frame
        for gy in range(glyphs.SIZE):
            for gx in range(1, CELL_W - 1):
                if glyph.grid[gy][gx]:
                    rows[1 + gy][x0 + gx] = BLACK
    return rows


def bmp_bytes(rows):
    """A bottom-up 4-bit BMP with a 16-colour table."""
    h, w = len(rows), len(rows[0])
    stride = ((w * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, w, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < w else 0
            line.append(hi << 4 | lo)
        line += b"\0" * (stride - len(line))
        pixels += line
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + table + bytes(pixels)


def glyph_name(pua):
    return "uni%04X" % pua


def runs(grid):
    """Horizontal runs of ink: (row, first column, last column + 1)."""
    for y, row in enumerate(grid):
        x = 0
        while x < len(row):
            if row[x]:
                start = x
                while x < len(row) and row[x]:
                    x += 1
                yield y, start, x
            else:
                x += 1


def outline(pen, grid):
    """One clockwise square contour per run of ink."""
    for y, x0, x1 in runs(grid):
        top, bottom = TOP - y * PX, TOP - (y + 1) * PX
        pen.moveTo((x0 * PX, bottom))
        pen.lineTo((x0 * PX, top))
        pen.lineTo((x1 * PX, top))
        pen.lineTo((x1 * PX, bottom))
        pen.closePath()


def build_font(entries, glyph_list):
    from fontTools.fontBuilder import FontBuilder
    from fontTools.pens.ttGlyphPen import TTGlyphPen

    order = [".notdef"] + [glyph_name(e.pua) for e in entries]
    fb = FontBuilder(UPM, isTTF=True)
    fb.font.recalcTimestamp = False
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({e.pua: glyph_name(e.pua) for e in entries})

    shapes = {}
    pen = TTGlyphPen(None)
    notdef = [[False] * glyphs.SIZE for _ in range(glyphs.SIZE)]
    for y in range(1, 15):
        for x in range(2, 14):
            notdef[y][x] = y in (1, 14) or x in (2, 13)
    outline(pen, notdef)
    shapes[".notdef"] = pen.glyph()
    for e, g in zip(entries, glyph_list):
        pen = TTGlyphPen(None)
        outline(pen, g.grid)
        shapes[glyph_name(e.pua)] = pen.glyph()
    fb.setupGlyf(shapes)
    metrics = {}
    for name in order:
        glyf = shapes[name]
        glyf.recalcBounds(fb.font["glyf"])
        metrics[name] = (UPM, getattr(glyf, "xMin", 0))
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=DESCENT, lineGap=0)
    fb.setupNameTable({
        "copyright": COPYRIGHT,
        "familyName": FAMILY,
        "styleName": "Regular",
        "uniqueFontIdentifier": FAMILY + " " + VERSION,
        "fullName": FAMILY,
        "version": VERSION,
        "psName": "TegamiyaPictographs-Regular",
        "licenseDescription": LICENSE,
        "licenseInfoURL": LICENSE_URL,
    }, mac=False)
    fb.setupOS2(
        version=4, xAvgCharWidth=UPM, usWeightClass=400, usWidthClass=5, fsType=0,
        sTypoAscender=ASCENT, sTypoDescender=DESCENT, sTypoLineGap=0,
        usWinAscent=ASCENT, usWinDescent=2 * PX, sxHeight=0, sCapHeight=0,
        achVendID="NONE", fsSelection=0x40,
        ulUnicodeRange1=0, ulUnicodeRange2=1 << (60 - 32), ulUnicodeRange3=0, ulUnicodeRange4=0,
        ulCodePageRange1=1 << 17, ulCodePageRange2=0,
    )
    fb.setupPost(isFixedPitch=1, keepGlyphNames=False)
    head = fb.font["head"]
    head.created = head.modified = TIMESTAMP
    head.fontRevision = 1.0
    from io import BytesIO
    buf = BytesIO()
    fb.save(buf)
    return buf.getvalue()


def contact_sheet(entries, glyph_list, strips):
    from PIL import Image, ImageDraw, ImageFont
    scale, cols = 3, 8
    tile_w, tile_h = STRIP_W * scale + 24, STRIP_H * scale + 22
    rows = (len(entries) + cols - 1) // cols
    sheet = Image.new("RGB", (cols * tile_w + 12, rows * tile_h + 12), (240, 240, 240))
    draw = ImageDraw.Draw(sheet)
    try:
        label_font = ImageFont.truetype("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", 12)
    except OSError:
        label_font = ImageFont.load_default()
    for n, (e, strip) in enumerate(zip(entries, strips)):
        x0 = 12 + (n % cols) * tile_w
        y0 = 8 + (n // cols) * tile_h
        img = Image.new("RGB", (STRIP_W, STRIP_H))
        img.putdata([PALETTE[p] for row in strip for p in row])
        sheet.paste(img.resize((STRIP_W * scale, STRIP_H * scale), Image.NEAREST), (x0, y0))
        label = "%d %s" % (e.index, e.name)
        while draw.textlength(label, font=label_font) > tile_w - 6:
            label = label[:-2] + "…"
        draw.text((x0, y0 + STRIP_H * scale + 3), label, font=label_font, fill=(0, 0, 0))
    return sheet


def generate(root, sheet=True):
    entries = glyphs.catalogue()
    glyph_list = glyphs.read()
    outputs = {}
    strips = [strip_pixels(e, g) for e, g in zip(entries, glyph_list)]
    for e, strip in zip(entries, strips):
        outputs[os.path.join("res", "emoji", "%d.bmp" % e.picture)] = bmp_bytes(strip)
    outputs[os.path.join("res", "Tegamiya.tte")] = build_font(entries, glyph_list)
    for rel, data in outputs.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    if sheet:
        path = os.path.join(root, "docs", "pictographs-contact-sheet.png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        contact_sheet(entries, glyph_list, strips).save(path, optimize=True)
    return outputs


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=glyphs.ROOT)
    parser.add_argument("--no-sheet", action="store_true")
    args = parser.parse_args()
    outputs = generate(args.root, sheet=not args.no_sheet)
    print("wrote %d files under %s" % (len(outputs) + (0 if args.no_sheet else 1), args.root))


if __name__ == "__main__":
    main()
