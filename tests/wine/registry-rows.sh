#!/usr/bin/env bash
# Checks the module's rows in the prefix's registry with reg query.
#   registry-rows.sh PREFIX OCX-WINDOWS-PATH present   every row regsvr32 must write
#   registry-rows.sh PREFIX OCX-WINDOWS-PATH absent    none of the module's keys is left
# REG_EXE and REG_VIEW (/reg:32 or /reg:64) are the reg.exe and the registry view of the
# module's bitness. It must be the 32-bit reg.exe for a 32-bit module: ProgID keys are shared
# between the views, which Wine's 32-bit processes see but its 64-bit reg.exe asked for the
# 32-bit view does not (it looks under Wow6432Node).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
ocx=$2
mode=$3
reg() { bash "$here/wine.sh" "$prefix" run "${REG_EXE:-reg}" "$@" ${REG_VIEW:-} 2>/dev/null | tr -d '\r'; }

control='HKCR\CLSID\{FA502BD9-A409-47D6-B9B2-38AD1896D1DE}'
files_page='HKCR\CLSID\{E27A4C66-0CE4-4431-AE81-85F7A3CC3019}'
controls_page='HKCR\CLSID\{9068F3A6-6046-4DD3-952B-387F87EF7F28}'
playback_page='HKCR\CLSID\{3B8F6D2E-71C4-4E5A-8D16-52A9E047C36B}'
progid='HKCR\MOVITREL.MovitrelCtrl.1'
typelib='HKCR\TypeLib\{D0F31B1E-27AE-4A36-9CAE-8A0711DCAADC}'
failures=0

# value KEY NAME EXPECTED: NAME "" is the default value.
value() {
  local key=$1 name=$2 expected=$3 out got
  if [ -z "$name" ]; then out=$(reg query "$key" /ve); else out=$(reg query "$key" /v "$name"); fi
  got=$(printf '%s\n' "$out" | sed -n 's/^ *[^ ].*REG_SZ *//p' | head -n1)
  if ! printf '%s\n' "$out" | grep -q REG_SZ || [ "$got" != "$expected" ]; then
    echo "FAIL $key [$name]: got '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

if [ "$mode" = present ]; then
  value "$control" "" "Movitrel Control"
  value "$control\\ProgID" "" "MOVITREL.MovitrelCtrl.1"
  value "$control\\InprocServer32" "" "$ocx"
  value "$control\\InprocServer32" ThreadingModel "Apartment"
  value "$control\\Control" "" ""
  value "$control\\Insertable" "" ""
  value "$control\\MiscStatus\\1" "" "131473"
  value "$control\\ToolboxBitmap32" "" "$ocx, 1"
  value "$control\\TypeLib" "" "{D0F31B1E-27AE-4A36-9CAE-8A0711DCAADC}"
  value "$control\\Version" "" "1.0"
  value "$progid" "" "Movitrel Control"
  value "$progid\\CLSID" "" "{FA502BD9-A409-47D6-B9B2-38AD1896D1DE}"
  value "$files_page" "" "Movitrel Property Page"
  value "$files_page\\InprocServer32" "" "$ocx"
  value "$files_page\\ProgID" "" "MOVITREL.MovitrelPropPage.1"
  value "$controls_page" "" "MovitrelPropertyPage2"
  value "$controls_page\\InprocServer32" "" "$ocx"
  value "$controls_page\\ProgID" "" "Movitrel.CControlPropPage"
  value "$playback_page" "" "MovitrelPropertyPage3"
  value "$playback_page\\InprocServer32" "" "$ocx"
  value "$playback_page\\ProgID" "" "Movitrel.CPlaybackPropPage"
  value "$typelib\\1.0" "" "Movitrel ActiveX Control module"
  # RegisterTypeLib's rows: the file under the library's locale and platform, and the
  # interfaces, each pointing back at the library.
  if ! reg query "$typelib\\1.0" /s | grep -qF "$ocx"; then
    echo "FAIL $typelib: no row names the module"
    failures=$((failures + 1))
  fi
  for iid in '{A3DACB69-629C-4C30-AE9E-55F7CA427915}' '{D21DF837-160C-4A03-A360-B2D80B0C22FF}'; do
    value "HKCR\\Interface\\$iid\\TypeLib" "" "{D0F31B1E-27AE-4A36-9CAE-8A0711DCAADC}"
  done
else
  for key in "$control" "$files_page" "$controls_page" "$playback_page" "$progid" "$typelib"; do
    if reg query "$key" >/dev/null; then
      echo "FAIL $key is still there"
      failures=$((failures + 1))
    fi
  done
fi
[ $failures -eq 0 ] && echo "PASS registry rows $mode"
exit $failures
