#!/usr/bin/env bash
# check_imports.sh OBJDUMP EXE: fails when EXE imports a DLL that is not one
# of the KnownDLLs Windows always loads from the system folder.
set -euo pipefail
objdump="$1" exe="$2"
known=" advapi32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll "
status=0
imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }')
[ -n "$imports" ] || { echo "no imports read from $exe"; exit 1; }
for dll in $imports; do
  if [[ "$known" == *" $dll "* ]]; then
    echo "ok   $dll"
  else
    echo "FAIL $dll is not a KnownDLL"
    status=1
  fi
done
exit $status
