#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets (clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60) from the project's own
# seeds. Targets: bmp jpeg gif png lzw extension. Crashes land in build-fuzz/fuzz-artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp jpeg gif png lzw extension)

# A build of its own: fuzz builds cap image sizes lower than the real library does.
dir=build-fuzz
[ -f "$dir/build.ninja" ] ||
  cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DMOVITREL_WITH_QT=OFF -DMOVITREL_WITH_BENCH=OFF -DMOVITREL_SANITIZE=address,undefined \
    -DMOVITREL_FUZZ=ON
cmake --build "$dir" --target fuzz_seeds $(printf 'fuzz_%s ' "${targets[@]}")
"$dir/fuzz/fuzz_seeds" "$dir/fuzz-seeds"
mkdir -p "$dir/fuzz-artifacts"

status=0
for t in "${targets[@]}"; do
  corpus="$dir/fuzz-corpus/$t"
  mkdir -p "$corpus"
  log="$dir/fuzz-$t.log"
  if "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/fuzz-artifacts/$t-" \
      "$corpus" "$dir/fuzz-seeds/$t" >"$log" 2>&1; then
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $t: ${runs:-?} executions in ${seconds}s, no crash"
  else
    echo "fuzz $t: FAILED (see $log)"
    tail -n 30 "$log"
    status=1
  fi
done
exit $status
