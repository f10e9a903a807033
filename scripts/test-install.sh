#!/usr/bin/env bash
# test-install.sh [BUILD]: installs BUILD (default build) into a temporary prefix and checks it
# as a user of the package would: the installed program uses its installed module, and the
# examples configure against the prefix alone (no path into the source or build tree), build
# and run: the image tool through pkg-config, the CMake package and a plain compiler line.
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

# Each way of building against the image library gets every format without a call: a JPEG
# frame goes to GIF, the GIF to PNG and the PNG to BMP, each read back at the frame's size.
first=${jpgs[0]}
convert_chain() {
  local tool=$1 out=$work/$2 line size=""
  for step in "$first:$out.gif" "$out.gif:$out.png" "$out.png:$out.bmp"; do
    line=$("$tool" "${step%%:*}" "${step#*:}") || fail "$2: cannot convert ${step%%:*}"
    line=$(echo "$line" | head -1)
    line=${line#*: }
    [ -z "$size" ] || [ "${line%%,*}" = "$size" ] || fail "$2: ${step%%:*} read as $line"
    size=${line%%,*}
  done
  echo "$2: $size through GIF, PNG and BMP"
  [ "$(head -c 6 "$out.gif")" = "GIF87a" ] || fail "$2: not a GIF"
  [ "$(head -c 4 "$out.png" | od -An -tx1 | tr -d ' ')" = "89504e47" ] || fail "$2: not a PNG"
  [ "$(head -c 2 "$out.bmp")" = "BM" ] || fail "$2: not a BMP"
}

echo "image-tool through pkg-config"
PKG_CONFIG_PATH=$prefix/lib/pkgconfig cmake -S "$root/examples/image-tool" -B "$work/image-tool" \
  -G Ninja >/dev/null
cmake --build "$work/image-tool" >/dev/null
convert_chain "$work/image-tool/image-tool" image-tool

echo "image-tool through find_package(Movitrel)"
cmake -S "$root/examples/image-tool" -B "$work/image-tool-cmake" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DIMAGE_TOOL_FIND=cmake >/dev/null
cmake --build "$work/image-tool-cmake" >/dev/null
convert_chain "$work/image-tool-cmake/image-tool" image-tool-cmake

# The package's link line as a makefile would use it, with --as-needed as distributions link.
echo "image-tool from pkg-config's flags on a compiler line"
mkdir -p "$work/image-tool-line"
# shellcheck disable=SC2046
c++ -std=c++20 -o "$work/image-tool-line/image-tool-line" "$root/examples/image-tool/main.cpp" \
  -Wl,--as-needed -Wl,-rpath,"$prefix/lib" \
  $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs movitrel-image)
convert_chain "$work/image-tool-line/image-tool-line" image-tool-line

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
for ex in image-tool image-tool-cmake qt-player; do
  if grep -q -e "$build" -e "-I$root" "$work/$ex/build.ninja" "$work/$ex/CMakeCache.txt"; then
    fail "$ex was built with a path into the project"
  fi
  if readelf -d "$work/$ex/${ex%-cmake}" | grep -E 'R(UN)?PATH' | grep -q -e "$build" -e "$root"; then
    fail "$ex runs from a path into the project"
  fi
done
echo "test-install: passed"
