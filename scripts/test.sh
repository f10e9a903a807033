#!/usr/bin/env bash
# The test job: installs what is missing, builds, runs every test.
#   0. Every C++ file as clang-format 14 makes it.
#   1. g++ build with the Qt container: every test; then installed into a temporary prefix
#      with the examples built against it, and the Debian package installed and removed.
#   2. clang 14 with AddressSanitizer and UndefinedBehaviorSanitizer, everything outside the
#      Qt container: every test again.
#   3. clang 14 with ThreadSanitizer: the playback and control tests.
#   4. Each fuzz target for FUZZ_SECONDS (default 60).
#   5. MOVITREL.OCX built for Windows by MinGW-w64, x64 and x86 (scripts/build-windows.sh),
#      and its tests under Wine (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

clang=(-DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 -DMOVITREL_WITH_QT=OFF
       -DMOVITREL_WITH_BENCH=OFF)

echo "== format"
bash scripts/check-format.sh

echo "== g++ build and tests"
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2

echo "== installed: the examples against a prefix, the Debian package with apt"
bash scripts/test-install.sh build
bash scripts/test-package.sh build

echo "== clang 14, address and undefined-behaviour sanitizers"
bash scripts/build.sh build-asan "${clang[@]}" -DMOVITREL_SANITIZE=address,undefined
ctest --test-dir build-asan --output-on-failure -j2

echo "== clang 14, thread sanitizer: playback, control and the animation writer"
[ -f build-tsan/build.ninja ] ||
  cmake -S . -B build-tsan -G Ninja "${clang[@]}" -DMOVITREL_SANITIZE=thread
cmake --build build-tsan --target test_playback test_control test_codecs
for t in test_playback test_control; do
  TSAN_OPTIONS=halt_on_error=1 "build-tsan/tests/$t"
done
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/test_codecs --gtest_filter='GifAnimation*'

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== Windows: MOVITREL.OCX by MinGW-w64 for x64 and x86, tested under Wine"
bash scripts/build-windows.sh
bash scripts/test-windows.sh
