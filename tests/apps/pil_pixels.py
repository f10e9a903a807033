#!/usr/bin/python3
"""PIL as an independent codec for the image command's tests.

    pil_pixels.py pixels FILE...  for each file prints "WIDTH HEIGHT", then each row (top
                                  first) as the hex of its red, green, blue bytes
    pil_pixels.py make KIND FILE  writes a test picture; the format follows FILE's extension
    pil_pixels.py frames FILE     for an animation prints "COUNT LOOP" (LOOP -1 without a loop
                                  extension), then for each frame, composed, its duration in
                                  milliseconds and its pixels as "pixels" prints them

Kinds: smooth (RGB gradients, thousands of colours), smooth32 (the same with an opaque
alpha channel, 32 bits in a BMP), few (16 palette colours), few24 (the
same colours as RGB), grey (8-bit grey ramp), mono (1 bit), nibble (4-bit palette, PNG
only), transparent (few, colour 3 transparent), rgba (RGB with an alpha channel).
"""
import sys

from PIL import Image

WIDTH, HEIGHT = 41, 27  # odd width: rows of every depth need padding

# Sixteen colours off the 0, 51, 102 ... levels, so that no reduction can hit them by chance.
FEW = [(10 + 15 * i, 240 - 13 * i, (37 * i + 20) % 256) for i in range(16)]


def few_indices():
    return [((x // 3) + (y // 2) * 5) % 16 for y in range(HEIGHT) for x in range(WIDTH)]


def smooth():
    im = Image.new("RGB", (WIDTH, HEIGHT))
    im.putdata([(x * 255 // (WIDTH - 1), y * 255 // (HEIGHT - 1), (x * 3 + y * 5) % 256)
                for y in range(HEIGHT) for x in range(WIDTH)])
    return im


def paletted(count, colours):
    im = Image.new("P", (WIDTH, HEIGHT))
    flat = [c for rgb in colours for c in rgb]
    im.putpalette(flat + [0] * (3 * count - len(flat)))
    im.putdata([i % len(colours) for i in few_indices()])
    return im


def make(kind, path):
    options = {}
    if kind == "smooth":
        im = smooth()
    elif kind == "smooth32":
        im = smooth().convert("RGBA")  # as BMP: 32 bits per pixel
    elif kind == "few":
        im = paletted(16, FEW)
    elif kind == "few24":
        im = paletted(16, FEW).convert("RGB")
    elif kind == "grey":
        im = Image.new("L", (WIDTH, HEIGHT))
        im.putdata([(x * 6 + y * 3) % 256 for y in range(HEIGHT) for x in range(WIDTH)])
    elif kind == "mono":
        im = Image.new("1", (WIDTH, HEIGHT))
        im.putdata([255 if (x + y // 2) % 3 == 0 else 0 for y in range(HEIGHT) for x in range(WIDTH)])
    elif kind == "nibble":
        im = paletted(16, FEW)
        options["bits"] = 4
    elif kind == "transparent":
        im = paletted(16, FEW)
        options["transparency"] = 3
    elif kind == "rgba":
        im = smooth().convert("RGBA")
        im.putalpha(Image.new("L", (WIDTH, HEIGHT), 128))
    else:
        raise SystemExit("unknown kind " + kind)
    if path.lower().endswith(".jpg"):
        options["quality"] = 95
    im.save(path, **options)


def pixels(path):
    im = Image.open(path)
    im.load()
    rgb = im.convert("RGB")
    width, height = rgb.size
    data = rgb.tobytes()
    print(width, height)
    for y in range(height):
        print(data[3 * width * y:3 * width * (y + 1)].hex())


def frames(path):
    from PIL import ImageSequence
    im = Image.open(path)
    shown = [(frame.info.get("duration", 0), frame.convert("RGB"))
             for frame in ImageSequence.Iterator(im)]
    print(len(shown), im.info.get("loop", -1))
    for duration, rgb in shown:
        width, height = rgb.size
        data = rgb.tobytes()
        print(duration)
        print(width, height)
        for y in range(height):
            print(data[3 * width * y:3 * width * (y + 1)].hex())


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "pixels":
        for name in sys.argv[2:]:
            pixels(name)
    elif len(sys.argv) == 3 and sys.argv[1] == "frames":
        frames(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
    else:
        raise SystemExit(__doc__)
