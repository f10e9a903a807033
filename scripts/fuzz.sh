#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets (clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60) from the project's own
# seeds, as many at a time as there are processors. Targets: bmp jpeg gif png lzw extension
# gif_animation (every frame of an animated GIF, composed), automation (one automate request
# line), registry (the registry file's text), property_bag (a saved state's text) and
# state_stream (a saved state as the Windows module's stream holds it).
# Crashes land in build-fuzz/fuzz-artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp jpeg gif png lzw extension gif_animation automation registry property_bag state_stream)

# A build of its own: fuzz builds cap image sizes lower than the real library does.
dir=build-fuzz
[ -f "$dir/build.ninja" ] ||
  cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    -DMOVITREL_WITH_QT=OFF -DMOVITREL_WITH_BENCH=OFF -DMOVITREL_SANITIZE=address,undefined \
    -DMOVITREL_FUZZ=ON
cmake --build "$dir" --target fuzz_seeds $(printf 'fuzz_%s ' "${targets[@]}")
"$dir/fuzz/fuzz_seeds" "$dir/fuzz-seeds"
# The automate seeds are request lines, one a file.
seeds="$dir/fuzz-seeds/automation"
mkdir -p "$seeds"
n=0
while IFS= read -r request; do
  n=$((n + 1))
  printf '%s' "$request" >"$seeds/request$n"
done <<'EOF'
{"op":"create","width":400,"height":300,"id":1}
{"op":"set","name":"Dir","value":{"hex":"2f746d702f636166e9"},"id":[1,{"a":null}]}
{"op":"set","name":4,"value":4294967295}
{"op":"get","name":-2147483648}
{"op":"call","name":"AboutBox"}
{"op":"mouse","kind":"move","x":-32768,"y":32767,"buttons":1}
{"op":"wait","until":"paints","count":2147483647,"timeout_ms":0}
{"op":"wait","until":"event","name":"ChangeCommand","args":[0]}
{"op":"wait","until":"idle","quiet_ms":10}
{"op":"wait","until":"frame","index":3}
{"op":"load","properties":{"Delay":"100","Loop":true,"Dir":{"hex":"41"}}}
{"op":"save","path":{"hex":"2f"}}
{"op":"resize","width":8192,"height":1}
{"op":"info","id":1e308}
{"op":"snapshot","path":"a.png"}
{"op":"quit"}
EOF
mkdir -p "$dir/fuzz-artifacts"

# One target a processor at a time: each is single-threaded.
run_one() {
  local t=$1 corpus="$dir/fuzz-corpus/$1" log="$dir/fuzz-$1.log" runs
  mkdir -p "$corpus"
  if "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/fuzz-artifacts/$t-" \
      "$corpus" "$dir/fuzz-seeds/$t" >"$log" 2>&1; then
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $t: ${runs:-?} executions in ${seconds}s, no crash"
  else
    echo "fuzz $t: FAILED (see $log)"
    tail -n 30 "$log"
    return 1
  fi
}
jobs=$(nproc)
status=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
