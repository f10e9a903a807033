#!/usr/bin/python3
"""PIL's side of bench_gif_export.

    gif_export_helper.py still SET OUTDIR
        a still camera: frame 1 of SET whole, in every frame, except its lower right quarter
        (a quarter of each side), which shows that corner of frame i of SET; JPEG quality 85,
        as make-frames.sh writes its sets. Made once: a complete OUTDIR is left alone.
    gif_export_helper.py compare GIF PAINTS W H [I...]
        every frame of GIF composed by PIL against the control's paints, the top left W x H of
        the PNG files in PAINTS. Without indices each frame must equal a paint, in order, with
        repeated or extra paints between them; with them, frame I is compared with the last
        paint in PAINTS/I (a render of that frame alone). Prints "frames N equal E" and then
        the index of each frame that no paint matched.
"""
import glob
import os
import sys

from PIL import Image, ImageSequence


def still(source, out):
    frames = sorted(glob.glob(os.path.join(source, "*.jpg")))
    stamp = os.path.join(out, ".complete")
    if os.path.exists(stamp) and len(glob.glob(os.path.join(out, "*.jpg"))) == len(frames):
        return
    os.makedirs(out, exist_ok=True)
    base = Image.open(frames[0]).convert("RGB")
    width, height = base.size
    box = (width - width // 4, height - height // 4, width, height)
    for i, path in enumerate(frames):
        picture = base.copy()
        picture.paste(Image.open(path).convert("RGB").crop(box), box)
        picture.save(os.path.join(out, "still%04d.jpg" % (i + 1)), quality=85)
    open(stamp, "w").close()


def shown(path):
    return [frame.convert("RGB").tobytes() for frame in ImageSequence.Iterator(Image.open(path))]


def painted(path, width, height):
    return Image.open(path).convert("RGB").crop((0, 0, width, height)).tobytes()


def compare(gif, paints, width, height, alone):
    frames = shown(gif)
    missed = []
    if alone:
        for i in alone:
            files = sorted(glob.glob(os.path.join(paints, str(i), "paint*.png")))
            if not files or painted(files[-1], width, height) != frames[i]:
                missed.append(i)
        checked = len(alone)
    else:
        pictures = [painted(p, width, height)
                    for p in sorted(glob.glob(os.path.join(paints, "paint*.png")))]
        j = 0
        for i, frame in enumerate(frames):
            k = j
            while k < len(pictures) and pictures[k] != frame:
                k += 1
            if k == len(pictures):
                missed.append(i)  # not painted (two refreshes, one paint), or painted otherwise
            else:
                j = k
        checked = len(frames)
    print("frames", checked, "equal", checked - len(missed))
    for i in missed:
        print(i)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "still":
        still(sys.argv[2], sys.argv[3])
    elif len(sys.argv) >= 6 and sys.argv[1] == "compare":
        compare(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]),
                [int(i) for i in sys.argv[6:]])
    else:
        raise SystemExit(__doc__)
