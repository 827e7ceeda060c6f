"""The pictograph grids (glyphs.txt) and the catalogue facts the artwork needs.

glyphs.txt holds one block per pictograph, in index order:

    @ <index> <provenance> <source> [<how>]
    16 lines of 16 characters, '#' for ink and '.' for paper

<provenance> is one of unifont, symbola, redrawn, drawn; <source> names the
standard character the glyph was drafted from ("-" for none); <how> says how
a redrawn glyph was reworked: "narrowed" (similar neighbouring columns merged
to fit 14 columns), "keycap" (a box around the source's digit) or "by-hand". Lines starting
with '%' are comments. The name, code and picture id of each pictograph are
not repeated there: they come from the catalogue below and emoji_names.txt.
"""
import os
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
NAMES = os.path.join(ROOT, "emoji", "emoji_names.txt")
GLYPHS = os.path.join(HERE, "glyphs.txt")

SIZE = 16
PROVENANCES = ("unifont", "symbola", "redrawn", "drawn")

Entry = namedtuple("Entry", "index code pua picture name")
Glyph = namedtuple("Glyph", "index provenance source grid how", defaults=("",))

# Consecutive indices take consecutive Shift-JIS codes inside each range.
CODE_RANGES = [(1, 94, 0xF89F), (95, 104, 0xF940), (105, 107, 0xF950),
               (108, 110, 0xF955), (111, 114, 0xF95B), (115, 127, 0xF972),
               (128, 252, 0xF980)]

# (first index, last index, first picture id, step)
PICTURE_RANGES = [
    (1, 2, 148, 1), (3, 3, 158, 1), (4, 9, 160, 1), (10, 10, 159, 1),
    (11, 11, 195, 1), (12, 17, 168, 1), (18, 18, 405, 1), (19, 19, 175, 1),
    (20, 20, 406, 1), (21, 30, 177, 1), (31, 36, 196, 1), (37, 39, 192, 1),
    (40, 40, 189, 1), (41, 41, 211, 1), (42, 43, 187, 1), (44, 44, 202, 1),
    (45, 46, 190, 1), (47, 47, 136, 1), (48, 48, 150, 1), (49, 54, 156, -1),
    (55, 55, 157, 1), (56, 57, 166, 1), (58, 70, 212, 1), (71, 71, 203, 1),
    (72, 73, 207, 1), (74, 75, 205, 1), (76, 242, 230, 1), (243, 243, 204, 1),
    (244, 247, 226, 1), (248, 249, 209, 1), (250, 250, 398, 1),
    (251, 251, 404, 1), (252, 252, 399, 1)]


def code_of(index):
    for first, last, code in CODE_RANGES:
        if first <= index <= last:
            return code + index - first
    raise ValueError(index)


def pua_of(code):
    """Code page 932 puts the user-defined area F040-F9FC onto U+E000 on."""
    lead, trail = code >> 8, code & 0xFF
    return 0xE000 + (lead - 0xF0) * 188 + trail - (0x40 if trail < 0x80 else 0x41)


def picture_of(index):
    for first, last, pid, step in PICTURE_RANGES:
        if first <= index <= last:
            return pid + (index - first) * step
    raise ValueError(index)


def catalogue():
    names = {}
    with open(NAMES, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            index, name = line.rstrip("\n").split("\t", 1)
            names[int(index)] = name
    out = []
    for index in range(1, 253):
        code = code_of(index)
        out.append(Entry(index, code, pua_of(code), picture_of(index), names[index]))
    return out


def read(path=GLYPHS):
    glyphs = []
    lines = [l.rstrip("\n") for l in open(path, encoding="utf-8") if not l.startswith("%")]
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.strip():
            i += 1
            continue
        head = line.split()
        if head[0] != "@" or len(head) < 4:
            raise ValueError("%s: line %r is not a glyph header" % (path, line))
        index, prov, src, how = int(head[1]), head[2], head[3], " ".join(head[4:])
        if prov not in PROVENANCES:
            raise ValueError("glyph %d: unknown provenance %r" % (index, prov))
        rows = lines[i + 1:i + 1 + SIZE]
        if len(rows) != SIZE or any(len(r) != SIZE or set(r) - set(".#") for r in rows):
            raise ValueError("glyph %d: expected %d rows of %d '.'/'#'" % (index, SIZE, SIZE))
        glyphs.append(Glyph(index, prov, src, [[c == "#" for c in r] for r in rows], how))
        i += 1 + SIZE
    if [g.index for g in glyphs] != list(range(1, 253)):
        raise ValueError("%s: glyphs must be 1 to 252 in order" % path)
    return glyphs


def write(path, glyphs):
    names = {e.index: e for e in catalogue()}
    with open(path, "w", encoding="utf-8") as f:
        f.write("% Tegamiya pictograph glyphs: 16x16 pixels, '#' ink, '.' paper.\n"
                "% Header: @ index provenance source [how]; the comment line above each\n"
                "% header gives code, private-use character, picture id and name.\n"
                "% Keep ink in columns 2-15 (the frame of the palette pictures\n"
                "% covers the first and the last column).\n")
        for g in glyphs:
            e = names[g.index]
            f.write("\n%% %d  %04X  U+%04X  picture %d  %s\n" % (e.index, e.code, e.pua, e.picture, e.name))
            f.write(("@ %d %s %s %s" % (g.index, g.provenance, g.source, g.how)).rstrip() + "\n")
            for row in g.grid:
                f.write("".join("#" if p else "." for p in row) + "\n")
