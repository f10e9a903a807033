#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, headless, in a prefix of the build tree's own.
#   wine.sh PREFIX make          a fresh prefix with the null graphics driver, and a persistent
#                                wineserver, so later commands do not each hold the output open
#   wine.sh PREFIX stop          ends that wineserver
#   wine.sh PREFIX run CMD...    runs CMD (a Windows program and its arguments) in the prefix
#   wine.sh PREFIX winpath PATH  prints PATH as Windows sees it (Z:\...)
set -euo pipefail
prefix=$1
action=$2
shift 2
export WINEPREFIX=$prefix WINEARCH=${WINEARCH:-win64} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

case $action in
  make)
    "$server" -k 2>/dev/null || true
    rm -rf "$prefix"
    "$wine" wineboot -i >/dev/null 2>&1
    "$server" -w
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    "$server" -w
    "$server" -p </dev/null >/dev/null 2>&1
    # The first client starts Wine's services, which then live as long as the server: start
    # them here, away from the test runner's pipes, which they would otherwise hold open.
    "$wine" reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$server" -k 2>/dev/null || true
    ;;
  run)
    # A program that dies before it flushes leaves no output: say how it ended.
    status=0
    "$wine" "$@" || status=$?
    [ "$status" = 0 ] || echo "wine.sh: $1 ended with status $status" >&2
    exit "$status"
    ;;
  winpath)
    printf 'Z:%s\n' "$(realpath "$1" | tr / '\\')"
    ;;
  *)
    echo "wine.sh: unknown action $action" >&2
    exit 2
    ;;
esac
