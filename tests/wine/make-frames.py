"""Three JPEG frames with edges and a gradient: make-frames.py OUT WIDTH HEIGHT.

Numbered, so that Sort 1 orders them alike on both platforms (file-system order and creation
times differ under Wine)."""
import os
import sys

from PIL import Image, ImageDraw

out, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(out, exist_ok=True)
for i in range(3):
    im = Image.new("RGB", (w, h))
    for y in range(h):
        for x in range(w):
            im.putpixel((x, y), ((x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1), 60 * i))
    d = ImageDraw.Draw(im)
    d.rectangle([w // 4, h // 4, w // 2, h // 2], fill=(255, 255, 0))
    d.line([0, h - 1, w - 1, 0], fill=(0, 0, 0))
    im.save(f"{out}/frame{i}.jpg", quality=92)
