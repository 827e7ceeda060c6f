#!/usr/bin/python3
"""Draws the program's own toolbar images (cut, copy, paste, version; 23x18
each, side by side) and its icon. Output: res/toolbar.png, res/tegamiya.png,
res/tegamiya-16.png. Needs python3-pil."""
from PIL import Image, ImageDraw
import os

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
W, H = 23, 18


def cut(d, ox):
    # Scissors: two blades crossing, two rings below.
    d.line([(ox + 8, 1), (ox + 14, 11)], fill=(40, 40, 40), width=1)
    d.line([(ox + 14, 1), (ox + 8, 11)], fill=(40, 40, 40), width=1)
    d.ellipse([ox + 4, 10, ox + 9, 16], outline=(0, 0, 160))
    d.ellipse([ox + 13, 10, ox + 18, 16], outline=(0, 0, 160))


def page(d, x, y, w, h):
    d.rectangle([x, y, x + w, y + h], fill=(255, 255, 255), outline=(64, 64, 64))
    for ly in range(y + 3, y + h - 1, 2):
        d.line([(x + 2, ly), (x + w - 2, ly)], fill=(120, 120, 180))


def copy(d, ox):
    page(d, ox + 3, 1, 9, 11)
    page(d, ox + 9, 5, 9, 11)


def paste(d, ox):
    d.rectangle([ox + 3, 2, ox + 15, 16], fill=(190, 140, 70), outline=(90, 60, 20))
    d.rectangle([ox + 7, 1, ox + 11, 3], fill=(160, 160, 160), outline=(60, 60, 60))
    page(d, ox + 10, 6, 9, 11)


def version(d, ox):
    d.ellipse([ox + 3, 1, ox + 19, 16], fill=(255, 255, 210), outline=(0, 0, 128))
    d.line([(ox + 11, 7), (ox + 11, 13)], fill=(0, 0, 128), width=2)
    d.rectangle([ox + 10, 3, ox + 12, 5], fill=(0, 0, 128))


def toolbar():
    img = Image.new("RGBA", (W * 4, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    for i, f in enumerate([cut, copy, paste, version]):
        f(d, i * W)
    img.save(os.path.join(RES, "toolbar.png"))


def icon(size, name):
    s = size / 32.0
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    # A phone with an envelope on its screen.
    d.rounded_rectangle([8 * s, 1 * s, 24 * s, 31 * s], radius=3 * s, fill=(40, 60, 120), outline=(10, 20, 60))
    d.rectangle([10 * s, 5 * s, 22 * s, 19 * s], fill=(235, 245, 255))
    d.rectangle([11 * s, 8 * s, 21 * s, 16 * s], fill=(255, 255, 255), outline=(200, 40, 40))
    d.line([(11 * s, 8 * s), (16 * s, 12.5 * s), (21 * s, 8 * s)], fill=(200, 40, 40), width=max(1, int(s)))
    for r in range(3):
        for c in range(3):
            x, y = (11 + c * 4) * s, (21 + r * 3) * s
            d.rectangle([x, y, x + 2 * s, y + 1.5 * s], fill=(200, 210, 230))
    img.save(os.path.join(RES, name))


if __name__ == "__main__":
    toolbar()
    icon(32, "tegamiya.png")
    icon(16, "tegamiya-16.png")
    icon(48, "tegamiya-48.png")
