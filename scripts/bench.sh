#!/usr/bin/env bash
# bench.sh [NAME...]: builds, makes the frame sets, runs every benchmark (or bench_NAME...;
# "wine" is scripts/bench-wine.sh, the Windows module under Wine) and
# prints one table with each figure beside its peer from the same run; results of benchmarks
# not run this time stay in the table from their last run. Frames: MOVITREL_FRAMES (default
# /tmp/movitrel-frames).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >&2
# Peers for the benchmarks only, so not in setup.sh: gifsicle and ImageMagick for the export.
peers=()
for p in gifsicle imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || peers+=("$p")
done
if [ ${#peers[@]} -gt 0 ]; then
  echo "bench: installing ${peers[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q --no-install-recommends "${peers[@]}" >&2 ||
    { apt-get update -q >&2 && apt-get install -y -q --no-install-recommends "${peers[@]}" >&2; }
fi
bash scripts/build.sh build >&2  # the table alone goes to standard output
export MOVITREL_FRAMES=${MOVITREL_FRAMES:-/tmp/movitrel-frames}
bash "$root/../shared/tools/make-frames.sh" "$MOVITREL_FRAMES" --large >/dev/null
out=build/bench-results
mkdir -p "$out"
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(jpeg_load image_draw stretch_peer gdi scan gif gif_export paint_latency
  frame_cache robustness decode_to_fit wine)
for b in "${names[@]}"; do
  if [ "$b" = wine ]; then
    # The Windows module's rate under Wine, when the Windows build and Wine are there.
    if [ -f build-win64/tests/wine/container.exe ] && [ -x /usr/lib/wine/wine64 ]; then
      echo "running bench-wine ..." >&2
      bash scripts/bench-wine.sh >/dev/null
    else
      echo "bench: no Wine figures (scripts/build-windows.sh and scripts/test-windows.sh first)" >&2
    fi
  elif [ -x "build/bench/bench_$b" ]; then
    echo "running bench_$b ..." >&2
    "build/bench/bench_$b" --benchmark_format=json --benchmark_out="$out/$b.json" \
      --benchmark_out_format=json >/dev/null
  fi
done
python3 scripts/bench_table.py "$out"
