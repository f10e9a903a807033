#!/usr/bin/env bash
# bench-wine.sh: frames painted per second by the x64 MOVITREL.OCX in the Wine container
# (tests/wine/container.exe bench), on the frames bench_frame_cache plays (the M set: 100
# frames of 1280x720, Delay 0, Loop, three passes), CacheSize 0 and 256, the median of three
# runs each. Writes build/bench-results/wine_frame_rate.json for scripts/bench_table.py.
# Needs build-win64/ (scripts/build-windows.sh) and Wine (scripts/test-windows.sh installs it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
wine=(bash tests/wine/wine.sh "$root/build-win64/wine-bench-prefix")
frames=${MOVITREL_FRAMES:-/tmp/movitrel-frames}/M
[ -f "$frames/img0100.jpg" ] || { echo "bench-wine: no frames in $frames" >&2; exit 1; }
"${wine[@]}" make
trap '"${wine[@]}" stop' EXIT
"${wine[@]}" run regsvr32 /s "$("${wine[@]}" winpath build-win64/module/MOVITREL.OCX)"
dir=$("${wine[@]}" winpath "$frames")
mkdir -p build/bench-results
entries=()
for cache in 0 256; do
  rates=()
  for run in 1 2 3; do
    line=$("${wine[@]}" run build-win64/tests/wine/container.exe bench "$dir" 100 "$cache" 3 |
           tr -d '\r' | grep '^BENCH' || true)
    echo "bench-wine: ${line:-no result} (run $run)" >&2
    rates+=("$(printf '%s\n' "$line" | sed -n 's/.*, \([0-9.]*\) fps$/\1/p')")
  done
  median=$(printf '%s\n' "${rates[@]}" | sort -g | sed -n 2p)
  [ -n "$median" ] || { echo "bench-wine: cache $cache gave no rate" >&2; exit 1; }
  entries+=("{\"name\": \"WineFramePlay/cache:$cache\", \"run_type\": \"aggregate\", \"fps\": $median}")
done
(IFS=,; printf '{"benchmarks": [%s]}\n' "${entries[*]}") > build/bench-results/wine_frame_rate.json
cat build/bench-results/wine_frame_rate.json
