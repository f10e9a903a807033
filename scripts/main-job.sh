#!/usr/bin/env bash
# The main job: installs what is missing, builds, then plays the demo animation in a window
# (on a display) or renders it to PNG files and says where (without one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
exec ./build/apps/movitrel demo "$@"
