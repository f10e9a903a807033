#!/usr/bin/env bash
# The main job: installs what is missing, builds, makes sample frames and shows them in order.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
frames=${MOVITREL_SAMPLES:-$root/build/samples}
python3 scripts/make-samples.py "$frames"
./build/apps/movitrel-frames "$frames" --base img --sort 1
