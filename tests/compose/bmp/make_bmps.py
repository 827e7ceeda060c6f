#!/usr/bin/python3
"""Writes the BMP files the reader's tests compare against, with the two
tools that write BMPs on Linux desktops: ImageMagick's convert and Pillow.

Each picture NAME.bmp comes with NAME.rgb, the writing tool's own decode of
it (8-bit red, green, blue, top row first), and a line in cases.txt:
NAME WIDTH HEIGHT BITS HEADER-SIZE. Run it from this folder; the results
are committed, so the tests need neither tool.
"""
import os
import struct
import subprocess

from PIL import Image

CONVERT = "/usr/bin/convert"
W, H = 13, 7  # an odd width: every depth needs row padding


def source():
    """A picture with smooth and sharp colour changes."""
    img = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            img.putpixel((x, y), ((x * 19 + y * 7) % 256, (y * 37 + 11) % 256,
                                  (x * y * 13 + 200) % 256))
    img.putpixel((0, 0), (255, 255, 255))
    img.putpixel((W - 1, H - 1), (0, 0, 0))
    return img


cases = []


def header(path):
    with open(path, "rb") as f:
        data = f.read(30)
    size = struct.unpack_from("<I", data, 14)[0]
    bits = struct.unpack_from("<H", data, 28)[0]
    return bits, size


def record(name, decode):
    path = name + ".bmp"
    with open(name + ".rgb", "wb") as f:
        f.write(decode(path))
    bits, size = header(path)
    cases.append(f"{name} {W} {H} {bits} {size}")


def im_decode(path):
    return subprocess.run([CONVERT, path, "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout


def pil_decode(path):
    return Image.open(path).convert("RGB").tobytes()


def main():
    src = source()
    src.save("source.png")
    # ImageMagick: 40-byte (BMP3), 108-byte (BMP4) and 124-byte headers.
    im = [
        ("im-1-v3", ["-type", "Bilevel", "BMP3:"]),
        ("im-4-v3", ["-colors", "16", "-type", "Palette", "BMP3:"]),
        ("im-8-v3", ["-colors", "200", "-type", "Palette", "-compress", "None", "BMP3:"]),
        # ImageMagick compresses 8-bit pictures by default: refused by the reader.
        ("im-8-rle", ["-colors", "200", "-type", "Palette", "BMP3:"]),
        ("im-24-v3", ["-type", "TrueColor", "BMP3:"]),
        ("im-8-v4", ["-colors", "100", "-type", "Palette", "-compress", "None", "-intent", "Undefined",
                     "-define", "bmp:format=bmp4", "BMP:"]),
        ("im-24-v4", ["-type", "TrueColor", "-intent", "Undefined", "-define", "bmp:format=bmp4",
                      "BMP:"]),
        ("im-24-v5", ["-type", "TrueColor", "BMP:"]),
        ("im-32-v5", ["-type", "TrueColorAlpha", "BMP:"]),
        ("im-16-565", ["-define", "bmp:subtype=RGB565", "BMP:"]),
        ("im-16-555", ["-define", "bmp:subtype=RGB555", "BMP:"]),
        ("im-16-1555", ["-alpha", "set", "-define", "bmp:subtype=ARGB1555", "BMP:"]),
        ("im-16-4444", ["-alpha", "set", "-define", "bmp:subtype=ARGB4444", "BMP:"]),
    ]
    for name, args in im:
        out = args[-1] + name + ".bmp"
        subprocess.run([CONVERT, "source.png"] + args[:-1] + [out], check=True)
        if name == "im-16-4444":
            # ImageMagick reads a 4-bit channel v as v * 16 (white as 240);
            # full scale is v * 17, which its values give exactly.
            record(name, lambda p: bytes(b | b >> 4 for b in im_decode(p)))
        else:
            record(name, im_decode)
    # Pillow: 40-byte headers, 1, 8, 24 and 32 bits.
    src.convert("1").save("pil-1.bmp")
    record("pil-1", pil_decode)
    src.convert("L").save("pil-8-grey.bmp")
    record("pil-8-grey", pil_decode)
    src.convert("P", palette=Image.ADAPTIVE, colors=64).save("pil-8-pal.bmp")
    record("pil-8-pal", pil_decode)
    src.save("pil-24.bmp")
    record("pil-24", pil_decode)
    src.convert("RGBA").save("pil-32.bmp")
    record("pil-32", pil_decode)
    os.remove("source.png")
    with open("cases.txt", "w") as f:
        f.write("\n".join(cases) + "\n")


if __name__ == "__main__":
    main()
