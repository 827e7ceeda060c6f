#!/usr/bin/python3
"""Draws the compose form's small pictures into res/:
bitmap132.png (20x16, beside the address-book buttons: a person),
bitmap137.png (20x20, beside the browser button: a globe),
bitmap138.png (20x20, beside the mail-client button: an envelope),
bitmap139.png (20x20, beside the pictograph button: a smiling face).
Run with Debian's python3 (python3-pil): /usr/bin/python3 scripts/draw_compose_bitmaps.py
"""
import os
from PIL import Image, ImageDraw

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
SCALE = 4  # drawn large, then reduced smoothly

OUTLINE = (40, 40, 60, 255)


def canvas(w, h):
    return Image.new("RGBA", (w * SCALE, h * SCALE), (0, 0, 0, 0))


def box(x0, y0, x1, y1):
    return [x0 * SCALE, y0 * SCALE, x1 * SCALE, y1 * SCALE]


def save(img, w, h, name):
    img.resize((w, h), Image.LANCZOS).save(os.path.join(RES, name))


def person():
    img = canvas(20, 16)
    d = ImageDraw.Draw(img)
    # shoulders and head, with a small address card behind
    d.rounded_rectangle(box(10, 2, 19, 14), radius=SCALE, fill=(250, 240, 200, 255), outline=OUTLINE, width=SCALE // 2)
    for y in (5, 8, 11):
        d.line(box(12, y, 17, y), fill=(150, 130, 90, 255), width=SCALE // 2)
    d.pieslice(box(1, 8, 13, 20), 180, 360, fill=(70, 120, 200, 255), outline=OUTLINE, width=SCALE // 2)
    d.ellipse(box(4, 2, 10, 8), fill=(250, 210, 170, 255), outline=OUTLINE, width=SCALE // 2)
    save(img, 20, 16, "bitmap132.png")


def globe():
    img = canvas(20, 20)
    d = ImageDraw.Draw(img)
    d.ellipse(box(1.5, 1.5, 18.5, 18.5), fill=(90, 160, 230, 255), outline=OUTLINE, width=SCALE // 2)
    # land
    d.polygon([(x * SCALE, y * SCALE) for x, y in [(5, 5), (9, 4), (10, 8), (7, 11), (8, 15), (5, 13), (3.5, 9)]],
              fill=(80, 170, 80, 255))
    d.polygon([(x * SCALE, y * SCALE) for x, y in [(12, 9), (16, 8), (17, 12), (13, 16), (12, 13)]],
              fill=(80, 170, 80, 255))
    # meridian and equator
    d.ellipse(box(6.5, 1.5, 13.5, 18.5), outline=(230, 240, 255, 200), width=SCALE // 3)
    d.line(box(1.5, 10, 18.5, 10), fill=(230, 240, 255, 200), width=SCALE // 3)
    d.ellipse(box(1.5, 1.5, 18.5, 18.5), outline=OUTLINE, width=SCALE // 2)
    save(img, 20, 20, "bitmap137.png")


def envelope():
    img = canvas(20, 20)
    d = ImageDraw.Draw(img)
    d.rectangle(box(1.5, 5, 18.5, 16), fill=(255, 255, 245, 255), outline=OUTLINE, width=SCALE // 2)
    d.line([(1.5 * SCALE, 5 * SCALE), (10 * SCALE, 11.5 * SCALE), (18.5 * SCALE, 5 * SCALE)], fill=OUTLINE, width=SCALE // 2)
    # a small arrow: the mail goes out
    d.polygon([(x * SCALE, y * SCALE) for x, y in [(12, 14), (17, 14), (17, 12), (20, 15.5), (17, 19), (17, 17), (12, 17)]],
              fill=(220, 80, 40, 255), outline=OUTLINE)
    save(img, 20, 20, "bitmap138.png")


def smile():
    img = canvas(20, 20)
    d = ImageDraw.Draw(img)
    d.ellipse(box(1.5, 1.5, 18.5, 18.5), fill=(255, 210, 60, 255), outline=OUTLINE, width=SCALE // 2)
    d.ellipse(box(6, 6, 8.2, 9), fill=OUTLINE)
    d.ellipse(box(11.8, 6, 14, 9), fill=OUTLINE)
    d.arc(box(5, 6, 15, 15), 20, 160, fill=OUTLINE, width=SCALE)
    d.ellipse(box(3, 10, 6, 12.5), fill=(255, 140, 120, 200))
    d.ellipse(box(14, 10, 17, 12.5), fill=(255, 140, 120, 200))
    save(img, 20, 20, "bitmap139.png")


if __name__ == "__main__":
    person()
    globe()
    envelope()
    smile()
