#!/usr/bin/env bash
# regsvr32 /u removes every row of the module and the type library's registration; a second
# removal reports SELFREG_E_TYPELIB (0x80040200) and leaves nothing behind either.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
ocx=$2
selfreg=$3
regsvr32=${4:-regsvr32}
wine() { bash "$here/wine.sh" "$prefix" run "$@"; }
failures=0
if ! wine "$regsvr32" /s /u "$ocx"; then
  echo "FAIL regsvr32 /u failed"
  failures=$((failures + 1))
fi
bash "$here/registry-rows.sh" "$prefix" "$ocx" absent || failures=$((failures + 1))
again=$(wine "$selfreg" "$ocx" unregister | tr -d '\r')
if [ "$again" != "DllUnregisterServer 0x80040200" ]; then
  echo "FAIL a second removal answered '$again'"
  failures=$((failures + 1))
fi
bash "$here/registry-rows.sh" "$prefix" "$ocx" absent || failures=$((failures + 1))
[ $failures -eq 0 ] && echo "PASS unregister"
exit $failures
