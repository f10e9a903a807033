#!/usr/bin/env bash
# The Windows build's tests under Wine (after scripts/build-windows.sh), for both OCX files:
# every test of build-win64/ and of build-win32/, each tree in a fresh prefix of its own.
# The 32-bit module needs wine32 (i386 multiarch); installing it upgrades some amd64 packages
# to the point release the i386 ones are built against. A 32-bit program under wine64 alone
# exits 0 with no output, so the script refuses to go on without wine32 rather than pass on
# silence.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# A mirror caught mid-sync fails an index for a while: try again, then go on with the lists
# apt has (the install below says what is missing if they do not serve).
apt_update() {
  local try
  for try in 1 2 3; do
    apt-get update -q && return
    echo "test-windows: apt-get update failed (try $try of 3)" >&2
    [ "$try" = 3 ] || sleep 20
  done
}
if ! installed wine64 || ! installed wine32:i386; then
  echo "test-windows: installing wine64 and wine32:i386" >&2
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A failed index can leave the i386 packages a version behind their amd64 twins, which apt
  # then cannot install together: a few more minutes may see the mirror synced.
  for try in 1 2 3; do
    apt_update
    apt-get install -y -q --no-install-recommends wine64 wine wine32:i386 && break
    [ "$try" = 3 ] && exit 1
    echo "test-windows: installing wine failed (try $try of 3)" >&2
    sleep 60
  done
fi

ctest --test-dir build-win64 --output-on-failure
ctest --test-dir build-win32 --output-on-failure

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
