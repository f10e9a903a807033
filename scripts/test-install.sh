#!/usr/bin/env bash
# test-install.sh [BUILD]: installs BUILD (default build) into a temporary prefix and checks it
# as a user of the package would: the installed program uses its installed module, and the
# two examples configure against the prefix alone (no path into the source or build tree),
# build and run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d /tmp/movitrel-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "test-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
unset DISPLAY WAYLAND_DISPLAY

echo "installed program: its own module, the demo without a display"
[ "$("$prefix/bin/movitrel" --version)" = "movitrel 1.0.0" ] || fail "--version"
(cd "$work" && "$prefix/bin/movitrel" demo >/dev/null)
frames=$XDG_CACHE_HOME/movitrel/demo
jpgs=("$frames"/*.jpg)
[ -f "${jpgs[0]}" ] || fail "the demo made no frames"
grep -q "@=\"$prefix/lib/movitrel/MOVITREL.OCX\"" "$XDG_CONFIG_HOME/movitrel/registry.reg" ||
  fail "the installed program registered another module"

echo "image-tool through pkg-config"
first=${jpgs[0]}
PKG_CONFIG_PATH=$prefix/lib/pkgconfig cmake -S "$root/examples/image-tool" -B "$work/image-tool" \
  -G Ninja >/dev/null
cmake --build "$work/image-tool" >/dev/null
"$work/image-tool/image-tool" "$first" "$work/frame.png"
"$work/image-tool/image-tool" "$work/frame.png" "$work/frame.bmp"
[ "$(head -c 4 "$work/frame.png" | od -An -tx1 | tr -d ' ')" = "89504e47" ] || fail "not a PNG"
[ "$(head -c 2 "$work/frame.bmp")" = "BM" ] || fail "not a BMP"

echo "qt-player through find_package(Movitrel)"
cmake -S "$root/examples/qt-player" -B "$work/qt-player" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  >/dev/null
cmake --build "$work/qt-player" >/dev/null
events=$(QT_QPA_PLATFORM=offscreen timeout 60 "$work/qt-player/qt-player" "$frames" --quit-after 3)
echo "$events"
[ "$(echo "$events" | grep -c '^ChangeCommand(')" -ge 3 ] || fail "qt-player heard no events"
grep -q "@=\"$prefix/lib/movitrel/MOVITREL.OCX\"" "$XDG_CONFIG_HOME/qt-player/registry.reg" ||
  fail "qt-player made its control from another module"

# Nothing the examples were built with points into the source or build tree: not their
# search paths, their compile lines or their run paths.
for ex in image-tool qt-player; do
  if grep -q -e "$build" -e "-I$root" "$work/$ex/build.ninja" "$work/$ex/CMakeCache.txt"; then
    fail "$ex was built with a path into the project"
  fi
  if readelf -d "$work/$ex/$ex" | grep -E 'R(UN)?PATH' | grep -q -e "$build" -e "$root"; then
    fail "$ex runs from a path into the project"
  fi
done
echo "test-install: passed"
