#!/usr/bin/env bash
# bench.sh: builds, makes the frame sets, runs every benchmark and prints one table with each
# figure beside its peer from the same run. Frames: MOVITREL_FRAMES (default /tmp/movitrel-frames).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >&2
bash scripts/build.sh build >&2  # the table alone goes to standard output
export MOVITREL_FRAMES=${MOVITREL_FRAMES:-/tmp/movitrel-frames}
bash "$root/../shared/tools/make-frames.sh" "$MOVITREL_FRAMES" --large >/dev/null
out=build/bench-results
mkdir -p "$out"
for b in jpeg_load image_draw stretch_peer gdi scan gif paint_latency frame_cache robustness decode_to_fit; do
  if [ -x "build/bench/bench_$b" ]; then
    echo "running bench_$b ..." >&2
    "build/bench/bench_$b" --benchmark_format=json --benchmark_out="$out/$b.json" \
      --benchmark_out_format=json >/dev/null
  fi
done
python3 scripts/bench_table.py "$out"
