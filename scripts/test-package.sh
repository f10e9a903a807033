#!/usr/bin/env bash
# test-package.sh [BUILD]: makes the Debian package, installs it with apt as a user would,
# runs the installed program, then removes the package and checks that every file it
# installed is gone. Needs root (it installs a package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$(bash "$root/scripts/package.sh" "${1:-$root/build}" | tail -1)
work=$(mktemp -d /tmp/movitrel-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "test-package: $*" >&2; exit 1; }

echo "package: $deb"
dpkg-deb -f "$deb" Package Version Depends
dpkg-deb -f "$deb" Depends | grep -q libjpeg62-turbo || fail "no dependency on libjpeg"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "$deb" >/dev/null
dpkg -L movitrel >"$work/files"

[ "$(command -v movitrel)" = /usr/bin/movitrel ] || fail "movitrel is not on the path"
[ "$(movitrel --version)" = "movitrel 1.0.0" ] || fail "--version"
[ -f /usr/share/man/man1/movitrel.1.gz ] || fail "no manual page"
[ -f /usr/share/doc/movitrel/THIRD-PARTY ] || fail "no third-party notices"
(
  cd "$work"
  export HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
  unset DISPLAY WAYLAND_DISPLAY
  movitrel demo >/dev/null
  [ "$(ls "$XDG_CACHE_HOME"/movitrel/demo-snapshots/*.png | wc -l)" -eq 30 ] || fail "demo"
  grep -q '@="/usr/lib/movitrel/MOVITREL.OCX"' "$XDG_CONFIG_HOME/movitrel/registry.reg" ||
    fail "the installed program registered another module"
)

apt-get remove -y -q movitrel >/dev/null
left=0
while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then echo "left behind: $f" >&2; left=1; fi
done <"$work/files"
[ "$left" -eq 0 ] || fail "files left after apt-get remove"
echo "test-package: passed ($(grep -c . "$work/files") paths installed and removed)"
