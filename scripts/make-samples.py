#!/usr/bin/env python3
"""make-samples.py DIR: writes a small numbered JPEG sequence (img1.jpg ... img24.jpg)."""
import math
import os
import sys

from PIL import Image, ImageDraw

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for i in range(1, 25):
    path = os.path.join(out, f"img{i}.jpg")
    if os.path.exists(path):
        continue
    img = Image.new("RGB", (320, 240), (20, 30, 60))
    d = ImageDraw.Draw(img)
    a = 2 * math.pi * i / 24
    x, y = 160 + 90 * math.cos(a), 120 + 70 * math.sin(a)
    d.ellipse((x - 25, y - 25, x + 25, y + 25), fill=(240, 200, 40))
    img.save(path, quality=85)
