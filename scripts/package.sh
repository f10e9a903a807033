#!/usr/bin/env bash
# package.sh [BUILD]: builds BUILD (default build) and makes the Debian package from it;
# prints the package's path (BUILD/package/movitrel_<version>_amd64.deb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$root/build}"
build=$(cd "${1:-$root/build}" && pwd)
bash "$root/scripts/build.sh" "$build" >&2
(cd "$build" && cpack --config CPackConfig.cmake -B package >&2)
ls "$build"/package/movitrel_*_amd64.deb
