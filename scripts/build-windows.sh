#!/usr/bin/env bash
# The Windows build, made on Debian by the MinGW-w64 cross compilers, for x64 (build-win64/)
# and x86 (build-win32/): MOVITREL.OCX in each tree's module/, and the Wine tests' programs,
# against libjpeg-turbo and libpng cross-built from Debian's own source packages
# (build-win-deps/). scripts/test-windows.sh runs the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
          libz-mingw-w64-dev nasm cmake ninja-build dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "build-windows: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Debian's source packages of the two libraries. libjpeg-turbo is the version of the installed
# amd64 libjpeg62-turbo (named by architecture: with i386 packages installed too, an unqualified
# query prints both versions run together), so that frames decode to the same pixels as on
# Linux; libpng is the newest
# version the index lists that actually downloads (a listed version may not be). The deb-src
# list lives in a private apt configuration derived from the system's own, so the system's apt
# state is left alone.
src=$root/build-win-deps/src
apt_dir=$root/build-win-deps/apt
opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir"
      -o "Dir::State::Lists=$apt_dir/lists")
# The private deb-src lists, updated once a run and only when a source is to be fetched.
src_lists() {
  [ -f "$apt_dir/.updated" ] && return
  mkdir -p "$apt_dir/lists/partial" "$src"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$apt_dir/debian-src.sources"
  apt-get "${opts[@]}" update -q
  touch "$apt_dir/.updated"
}
rm -f "$apt_dir/.updated"
fetch_sources() {
  [ -f "$src/.fetched" ] && return
  src_lists
  local jpeg_version
  jpeg_version=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo:amd64)
  (cd "$src" && apt-get "${opts[@]}" source --download-only "libjpeg-turbo=$jpeg_version")
  local png_version fetched=
  for png_version in $(apt-cache "${opts[@]}" showsrc libpng1.6 | sed -n 's/^Version: //p' |
                       sort -u | sort -r -V); do
    rm -f "$src"/libpng1.6_*
    if (cd "$src" && apt-get "${opts[@]}" source --download-only "libpng1.6=$png_version"); then
      fetched=$png_version
      break
    fi
  done
  if [ -z "$fetched" ]; then
    echo "build-windows: no libpng1.6 source could be downloaded" >&2
    exit 1
  fi
  (cd "$src" && rm -rf libjpeg-turbo libpng &&
     dpkg-source --no-check -x libjpeg-turbo_*.dsc libjpeg-turbo &&
     dpkg-source --no-check -x libpng1.6_*.dsc libpng)
  touch "$src/.fetched"
}

# giflib's source, the version of the installed Linux library: the GIF tests' oracle, which
# the Windows test program compiles in (tests/WindowsTests.cmake). Without the Linux package
# the GIF oracle tests are left out of the Windows run.
fetch_giflib() {
  [ -f "$src/giflib/.fetched" ] && return
  local gif_version
  gif_version=$(dpkg-query -W -f='${source:Version}' libgif-dev:amd64 2>/dev/null) || return 0
  src_lists
  mkdir -p "$src/gif"
  (cd "$src/gif" && rm -f giflib_* && apt-get "${opts[@]}" source --download-only "giflib=$gif_version")
  (cd "$src" && rm -rf giflib && dpkg-source --no-check -x gif/giflib_*.dsc giflib)
  touch "$src/giflib/.fetched"
}

# Static libjpeg and libpng for one target, installed under build-win-deps/<arch>.
build_deps() {
  local arch=$1 prefix=$root/build-win-deps/$1
  [ -f "$prefix/.built" ] && return
  local cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
               -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")
  MOVITREL_MINGW_ARCH=$arch cmake -S "$src/libjpeg-turbo" -B "$prefix/build-jpeg" "${cross[@]}" \
    -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON
  cmake --build "$prefix/build-jpeg" --target install
  MOVITREL_MINGW_ARCH=$arch cmake -S "$src/libpng" -B "$prefix/build-png" "${cross[@]}" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="/usr/$arch-w64-mingw32/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$arch-w64-mingw32/include"
  cmake --build "$prefix/build-png" --target install
  touch "$prefix/.built"
}

fetch_sources
fetch_giflib
for pair in x86_64:win64 i686:win32; do
  arch=${pair%%:*}
  dir=build-${pair##*:}
  build_deps "$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    MOVITREL_MINGW_ARCH=$arch MOVITREL_WIN_DEPS=$root/build-win-deps/$arch \
      cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
  fi
  MOVITREL_MINGW_ARCH=$arch MOVITREL_WIN_DEPS=$root/build-win-deps/$arch cmake --build "$dir"
done

# The zip for Windows developers: both OCX files, how to register them, the examples and the
# notices. The version is the project's, as the x64 build configured it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
name=movitrel-$version-windows
stage=$(mktemp -d)
mkdir -p "$stage/$name/x64" "$stage/$name/x86" "$stage/$name/examples" dist
cp build-win64/module/MOVITREL.OCX "$stage/$name/x64/"
cp build-win32/module/MOVITREL.OCX "$stage/$name/x86/"
cp docs/README-windows.txt "$stage/$name/README.txt"
cp LICENSE THIRD-PARTY "$stage/$name/"
cp examples/windows/play.vbs examples/windows/play.js "$stage/$name/examples/"
rm -f "dist/$name.zip"
(cd "$stage" && zip -q -r -X "$root/dist/$name.zip" "$name")
rm -rf "$stage"
echo "build-windows: dist/$name.zip"
