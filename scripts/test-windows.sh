#!/usr/bin/env bash
# The Windows build's tests under Wine (after scripts/build-windows.sh): the x64 OCX always;
# the x86 OCX too with MOVITREL_WINE32=1, which needs wine32 (i386 multiarch). A 32-bit program
# under wine64 alone exits 0 with no output, so the switch refuses to run without wine32
# rather than pass on silence.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q 'install ok installed'; then
  echo "test-windows: installing wine64" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends wine64 wine
fi

ctest --test-dir build-win64 --output-on-failure

# The zip: both OCX files, each exporting exactly the four entry points.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
zipdir=$(mktemp -d)
unzip -q "dist/movitrel-$version-windows.zip" -d "$zipdir"
bash tests/wine/module-table.sh x86_64-w64-mingw32-objdump \
  "$zipdir/movitrel-$version-windows/x64/MOVITREL.OCX"
bash tests/wine/module-table.sh i686-w64-mingw32-objdump \
  "$zipdir/movitrel-$version-windows/x86/MOVITREL.OCX"
for f in README.txt LICENSE THIRD-PARTY examples/play.vbs examples/play.js; do
  [ -f "$zipdir/movitrel-$version-windows/$f" ] || { echo "test-windows: the zip lacks $f" >&2; exit 1; }
done
rm -rf "$zipdir"
# The 32-bit OCX's export and import tables need no Wine.
ctest --test-dir build-win32 --output-on-failure -R '^module\.table$'

if [ "${MOVITREL_WINE32:-0}" = 1 ]; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "test-windows: MOVITREL_WINE32=1 needs wine32:i386 (dpkg --add-architecture i386;" \
         "apt-get install wine32:i386); the 32-bit OCX was not tested" >&2
    exit 1
  fi
  ctest --test-dir build-win32 --output-on-failure -E '^module\.table$'
else
  echo "test-windows: the 32-bit OCX was built but not run (MOVITREL_WINE32=1 runs it)"
fi
