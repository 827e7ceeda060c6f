#!/usr/bin/env python3
"""Writes res/emoji_palette.xrc, the pictograph palette's template (145).

255 owner-drawn buttons of 9 x 12 dialog units in rows of 16 (row 16 holds
15), at x = 7 + 9 (c - 1), y = 4 + 12 (r - 1); cell k has the control id
1038 + k (k <= 128) or 1292 + k (k >= 129). Cells 1-254 are hover buttons,
cell 255 a plain owner-drawn button. Run it again after changing the grid:

    python3 emoji/tools/make_palette_xrc.py > res/emoji_palette.xrc
"""

import sys

CELLS = 255


def control_id(k):
    return 1038 + k if k <= 128 else 1292 + k


def main(out):
    w = out.write
    w('<?xml version="1.0" encoding="UTF-8"?>\n')
    w('<!-- The pictograph palette (145), written by emoji/tools/make_palette_xrc.py.\n')
    w('     Object names are the numeric control identifiers; positions and sizes\n')
    w('     are in dialog units of the palette\'s font; objects are in tab order. -->\n')
    w('<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">\n')
    w('  <object class="wxDialog" name="145">\n')
    w('    <title>iモード絵文字</title>\n')
    w('    <size>159,201d</size>\n')
    w('    <style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX|wxDIALOG_NO_PARENT</style>\n')
    for k in range(1, CELLS + 1):
        row, col = (k - 1) // 16 + 1, (k - 1) % 16 + 1
        sub = ' subclass="CHoverButton"' if k <= 254 else ''
        w(f'    <object class="COwnerDrawButton" name="{control_id(k)}"{sub}>\n')
        w(f'      <pos>{7 + 9 * (col - 1)},{4 + 12 * (row - 1)}d</pos>\n')
        w('      <size>9,12d</size>\n')
        w(f'      <label>{col:02d}</label>\n')
        w('    </object>\n')
    w('  </object>\n')
    w('</resource>\n')


if __name__ == '__main__':
    main(sys.stdout)
