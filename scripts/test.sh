#!/usr/bin/env bash
# The test job: installs what is missing, builds, runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

# Main build (g++) and its tests.
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j2

# Everything outside the Qt container must also compile with clang 14 (the fuzz targets need it).
bash scripts/build.sh build-clang -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
  -DMOVITREL_WITH_QT=OFF -DMOVITREL_WITH_BENCH=OFF
