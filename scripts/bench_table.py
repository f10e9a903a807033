#!/usr/bin/env python3
"""bench_table.py DIR: one table from the benchmark JSON files in DIR, each figure beside its peer."""
import json
import os
import platform
import sys

out = sys.argv[1]
runs = {}
repetitions = {}  # name -> every repetition's entry
context = {}
for name in os.listdir(out):
    if name.endswith(".json"):
        with open(os.path.join(out, name)) as f:
            data = json.load(f)
        context = data.get("context", context)
        for b in data.get("benchmarks", []):
            runs[b["name"]] = b
            if b.get("run_type") == "iteration":
                repetitions.setdefault(b["name"], []).append(b)


def ms(name, kind="cpu_time"):
    b = runs.get(name)
    if b is None or b.get("error_occurred"):
        return None
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b[kind] * unit


rows = []


def row(what, value, peer_name, peer, unit="ms"):
    ratio = f"{value / peer:.2f}" if value and peer else "-"
    fmt = (lambda v: f"{v:.2f} {unit}" if v is not None else "n/a")
    rows.append((what, fmt(value), peer_name, fmt(peer), ratio))


sets = {0: "640x480", 1: "1280x720", 2: "1920x1080", 3: "1280x720 grey"}
for i, label in sets.items():
    load = ms(f"BM_ImageLoad/{i}")
    row(f"frame load {label}", load, "plain libjpeg, same settings", ms(f"BM_PlainLibjpeg/{i}"))
    row(f"frame load {label}", load, "djpeg -colors 128 (process)", ms(f"BM_Djpeg/{i}/real_time", "real_time"))
row("stretched draw 1920x1080 -> 1600x900", ms("BM_StretchDraw1080To900"),
    "bare nearest-neighbour loop", ms("BM_BareStretchLoop1080To900"))
row("unscaled draw 1280x720", ms("BM_Draw720"), "-", None)
worker = runs.get("BM_WorkerFramesPerSecond/iterations:3/manual_time")
decode = ms("BM_ImageLoad/1", "real_time")
if worker and decode:
    fps = worker.get("fps")
    rows.append(("worker, delay 0, 1280x720", f"{fps:.1f} fps", "1 / decode time (wall)",
                 f"{1000.0 / decode:.1f} fps", f"{fps * decode / 1000.0:.2f}"))
for files in (10000, 100000):
    peer = ms(f"BM_Readdir/{files}")
    for sort in (0, 1, 2):
        row(f"scan {files} files, sort {sort}", ms(f"BM_Scan/files:{files}/sort:{sort}"),
            "bare readdir", peer)
paint = runs.get("BM_PaintWhilePlaying1080/iterations:1/manual_time")
if paint:
    decode_1080 = paint.get("decode_ms")
    row("Qt window, 500 x 1920x1080 at delay 0: longest paint", paint.get("paint_max_ms"),
        "one frame's decode", decode_1080)
    row("same: GUI thread's longest stall (late 2 ms tick)", paint.get("late_max_ms"),
        "one frame's decode", decode_1080)
for arg, label in ((0, "photograph"), (1, "flat graphic")):
    row(f"GIF decode 1920x1080 {label}", ms(f"BM_OurGifRead/{arg}"), "giflib",
        ms(f"BM_GiflibRead/{arg}"))
    row(f"GIF encode 1920x1080 {label}", ms(f"BM_OurGifWrite/{arg}"), "giflib",
        ms(f"BM_GiflibWrite/{arg}"))
    ours, theirs = runs.get(f"BM_OurGifWrite/{arg}"), runs.get(f"BM_GiflibWrite/{arg}")
    if ours and theirs and "bytes" in ours and "bytes" in theirs:
        row(f"GIF file size, {label}", ours["bytes"] / 1000.0, "giflib", theirs["bytes"] / 1000.0,
            "kB")

for arg, label in ((0, "set S, a camera panning"), (1, "a still camera, one corner changing")):
    b = runs.get(f"BM_ExportSize/{arg}/iterations:1/manual_time")
    if b and not b.get("error_occurred"):
        row(f"GIF export file size, {label}", b["ours_bytes"] / 1000.0,
            "gifsicle -O3 of our --no-optimize export", b["gifsicle_bytes"] / 1000.0, "kB")
threads = runs.get("BM_ExportThreads/iterations:1/manual_time")
if threads and not threads.get("error_occurred"):
    row("GIF export of set S (process, wall, median of 7)", threads["all_ms"],
        "convert -colors 128 -layers Optimize (process, median of 3)",
        ms("BM_ImageMagickWall/iterations:1/repeats:3/manual_time_median", "real_time"))
    row("same: every processor against --threads 1 (in turns, medians of 7)", threads["all_ms"],
        "--threads 1", threads["one_ms"])
    if "all_best_ms" in threads:
        row(f"same, best of 7 each (load average {threads['load']:.1f} on the machine)",
            threads["all_best_ms"], "--threads 1", threads["one_best_ms"])
fidelity = runs.get("BM_ExportFidelity/iterations:1/manual_time")
if fidelity and not fidelity.get("error_occurred"):
    equal, frames = int(fidelity["equal"]), int(fidelity["frames"])
    rows.append(("GIF export of set S: frames (composed by PIL) equal to the control's paint",
                 f"{equal} frames", "frames in the file", f"{frames} frames",
                 f"{equal / frames:.2f}" if frames else "-"))


def counter(name, key):
    b = runs.get(name)
    return None if b is None or b.get("error_occurred") else b.get(key)


def play(cache, backward, later, aggregate="_median"):
    return (f"BM_CachePlay/cache:{cache}/backward:{backward}/later:{later}"
            f"/iterations:1/repeats:3/manual_time{aggregate}")


def extreme(pick, name, key):
    values = [b.get(key) for b in repetitions.get(name, []) if not b.get("error_occurred")]
    return pick(values) if values else None


for backward, way in ((0, "forward"), (1, "backward")):
    for key, label in (("first_fps", "first pass"), ("later_fps", "later passes")):
        row(f"frame cache on, {label}, {way} (frames painted/s)",
            counter(play(256, backward, 30), key), "cache off, same run",
            counter(play(0, backward, 2), key), "fps")
for key, label in (("first_fps", "first pass"), ("later_fps", "later passes")):
    row(f"frame cache on, {label}: backward against forward",
        counter(play(256, 1, 30), key), "forward", counter(play(256, 0, 30), key), "fps")
row("loop of twice the cache (CacheSize 44), later passes", counter(play(44, 0, 2), "later_fps"),
    "cache off", counter(play(0, 0, 2), "later_fps"), "fps")
# The largest peak with the cache against the smallest without: the cache's worst case.
peak_on = extreme(max, play(44, 0, 2, ""), "max_rss_mb")
peak_off = extreme(min, play(0, 0, 2, ""), "max_rss_mb")
if peak_on is not None and peak_off is not None:
    row("peak resident memory above cache off, CacheSize 44 (worst of 3)", peak_on - peak_off,
        "44 MiB + 4 frames of 1280x720", 44 + 4 * 1280 * 720 / 1048576.0, "MiB")
# The Windows module under Wine (scripts/bench-wine.sh) against the Linux headless container,
# both over three passes of the same frames.
for cache, note in ((0, "cache off"), (256, "cache on (256)")):
    row(f"x64 OCX in the Wine container, {note}, 3 passes (frames painted/s)",
        counter(f"WineFramePlay/cache:{cache}", "fps"), "Linux headless container, same run",
        counter(play(cache, 0, 2), "all_fps"), "fps")
arrival = "BM_WatchArrival/30/iterations:1/manual_time"
row("Watch: a frame's rename to its paint, median", counter(arrival, "median_ms"),
    "max of 30", counter(arrival, "max_ms"))

destroy = "BM_DestroyWhilePlaying/cache:{}/iterations:1/repeats:7/manual_time_median"
row("destroy while playing 12000x9000, cache on (CacheSize 2048), median of 7",
    ms(destroy.format(2048), "real_time"), "cache off", ms(destroy.format(0), "real_time"))
row("load a saved state of 4096 names (1 MiB) into a control", ms("BM_LoadState/names:4096"),
    "refuse a state of 180,000 names (1 MiB)", ms("BM_LoadState/names:180000"))
peak = "BM_PeakWhilePlaying/processors:{}/iterations:1/repeats:3/manual_time"
peak16, peak2 = extreme(max, peak.format(16), "peak_mb"), extreme(max, peak.format(2), "peak_mb")
row("peak resident memory, 320x240 then 15 x 4000x3000, CacheSize 16, 16 processors (worst of 3)",
    peak16, "the same on 2 processors", peak2, "MiB")

def fit_play(fit, cache):
    return f"BM_FitPlay/fit:{fit}/cache:{cache}/iterations:1/manual_time"


row("DecodeToFit on, cache off: 4000x2250 in 640x480 (frames painted/s)",
    counter(fit_play(1, 0), "fps"), "off", counter(fit_play(0, 0), "fps"), "fps")
row("DecodeToFit on, cache on (256), first pass (frames painted/s)",
    counter(fit_play(1, 256), "fps"), "off", counter(fit_play(0, 256), "fps"), "fps")
row("frames the cache holds per MB: DecodeToFit on, CacheSize 16",
    counter(fit_play(1, 16), "frames_per_mb"), "off, CacheSize 256",
    counter(fit_play(0, 256), "frames_per_mb"), "")
quality = "BM_FitQuality/iterations:1/manual_time"
row("PSNR of the painted picture, lowest of 10 frames: DecodeToFit on",
    counter(quality, "psnr_on_min"), "off", counter(quality, "psnr_off_min"), "dB")
worse = counter(quality, "frames_worse")
if worse is not None:
    rows.append(("frames of the 10 with a lower PSNR with DecodeToFit on", f"{int(worse)}",
                 "-", "n/a", "-"))

print(f"Machine: {platform.node()}, {context.get('num_cpus', '?')} CPUs at "
      f"{context.get('mhz_per_cpu', '?')} MHz, {platform.platform()}; CPU time unless marked.")
print()
print("| measure | Movitrel | peer | peer figure | ratio |")
print("|---|---|---|---|---|")
for r in rows:
    print("| " + " | ".join(r) + " |")
