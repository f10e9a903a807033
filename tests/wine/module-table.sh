#!/usr/bin/env bash
# The OCX's export and import tables: exactly the four entry points, and only system DLLs.
set -uo pipefail
objdump=$1
ocx=$2
table=$("$objdump" -p "$ocx")
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort |
          tr '\n' ' ')
failures=0
if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]; then
  echo "FAIL exports: $exports"
  failures=1
fi
for dll in $imports; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | OLE32.DLL | OLEAUT32.DLL | \
    COMCTL32.DLL | MSVCRT.DLL) ;;
    *) echo "FAIL imports $dll"; failures=1 ;;
  esac
done
[ $failures -eq 0 ] && echo "PASS exports: $exports imports: $imports"
exit $failures
