#!/usr/bin/python3
"""The committed pictograph artwork is what the grids make.

Regenerates the palette pictures into a temporary folder and compares them
byte for byte with res/emoji/; reads the committed font back and compares
each glyph's outline, pixel by pixel, with its grid; checks the rules the
grids themselves must keep. Needs python3-pil and python3-fonttools.
"""
import os
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "emoji", "art"))
import glyphs  # noqa: E402
import make_art  # noqa: E402

from fontTools.ttLib import TTFont  # noqa: E402


class Grids(unittest.TestCase):
    def test_every_pictograph_has_a_glyph_that_fits_inside_the_frame(self):
        entries = glyphs.catalogue()
        grids = glyphs.read()
        self.assertEqual(len(grids), 252)
        for e, g in zip(entries, grids):
            with self.subTest(index=e.index, name=e.name):
                self.assertTrue(any(any(row) for row in g.grid), "empty glyph")
                # The palette pictures' frame covers the first and last column.
                self.assertFalse(any(row[0] or row[15] for row in g.grid),
                                 "ink in the first or last column")
                self.assertIn(g.provenance, glyphs.PROVENANCES)

    def test_glyphs_of_different_pictographs_differ(self):
        seen = {}
        for g in glyphs.read():
            key = tuple(tuple(r) for r in g.grid)
            self.assertNotIn(key, seen, "glyphs %d and %d are the same" % (seen.get(key, 0), g.index))
            seen[key] = g.index


class CommittedFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.made = make_art.generate(cls.tmp.name, sheet=False)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_pictures_match_the_grids_byte_for_byte(self):
        pictures = {rel: data for rel, data in self.made.items() if rel.endswith(".bmp")}
        self.assertEqual(len(pictures), 252)
        committed = sorted(os.listdir(os.path.join(ROOT, "res", "emoji")))
        self.assertEqual(committed, sorted(os.path.basename(rel) for rel in pictures),
                         "res/emoji holds other pictures than the catalogue's")
        for rel, data in sorted(pictures.items()):
            with open(os.path.join(ROOT, rel), "rb") as f:
                self.assertTrue(f.read() == data, "%s differs from its grid; run make_art.py" % rel)

    def test_font_glyphs_match_the_grids(self):
        font = TTFont(os.path.join(ROOT, "res", "Tegamiya.tte"))
        cmap = font.getBestCmap()
        entries = glyphs.catalogue()
        self.assertEqual(sorted(cmap), sorted(e.pua for e in entries))
        self.assertEqual(font["head"].unitsPerEm, make_art.UPM)
        glyf, hmtx = font["glyf"], font["hmtx"]
        for e, g in zip(entries, glyphs.read()):
            with self.subTest(index=e.index):
                name = cmap[e.pua]
                self.assertEqual(hmtx[name][0], make_art.UPM, "not full-width")
                self.assertEqual(self.rasterise(glyf[name], glyf), g.grid)

    def test_font_names_and_metrics(self):
        font = TTFont(os.path.join(ROOT, "res", "Tegamiya.tte"))
        self.assertEqual(font["name"].getDebugName(1), make_art.FAMILY)
        self.assertIn("Open Font License", font["name"].getDebugName(13))
        self.assertEqual((font["hhea"].ascent, font["hhea"].descent),
                         (make_art.ASCENT, make_art.DESCENT))
        self.assertEqual(font["OS/2"].fsType, 0, "embedding must not be restricted")

    @staticmethod
    def rasterise(glyph, glyf):
        """Pixels covered by the glyph's contours, each of which must be an
        axis-aligned rectangle on the pixel grid."""
        grid = [[False] * glyphs.SIZE for _ in range(glyphs.SIZE)]
        if glyph.numberOfContours <= 0:
            return grid
        coords, ends, _ = glyph.getCoordinates(glyf)
        start = 0
        for end in ends:
            pts = list(coords[start:end + 1])
            start = end + 1
            xs, ys = {p[0] for p in pts}, {p[1] for p in pts}
            assert len(pts) == 4 and len(xs) == 2 and len(ys) == 2, "contour is not a rectangle"
            x0, x1 = min(xs) // make_art.PX, max(xs) // make_art.PX
            r0 = (make_art.TOP - max(ys)) // make_art.PX
            r1 = (make_art.TOP - min(ys)) // make_art.PX
            for y in range(r0, r1):
                for x in range(x0, x1):
                    grid[y][x] = True
        return grid


if __name__ == "__main__":
    unittest.main()
