#!/usr/bin/env bash
# A file in use under Windows 9x: the second installation finds
# C:\Lumiro\Programs\ReaderRes.dll held open by another program and writes
# the two "[rename]" lines, with short paths, into WININIT.INI after the
# package; restarting the prefix carries them out.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
e2e_windows_version win98

install_completes

target="$(c_drive Lumiro/Programs/ReaderRes.dll)"
reinstall_with_held_file Lumiro/Programs/ReaderRes.dll

wininit="$(c_drive windows/wininit.ini)"
[ -e "$wininit" ] || wininit="$(c_drive windows/WININIT.INI)"
cat "$wininit" 2>/dev/null | tr -d '\r' | sed 's/^/  wininit: /'
# Wine's short names are hash-style (READ~KLA.DLL); the long name
# "ReaderRes.dll" is not 8.3, so its short form must differ from it.
short='C:\\Lumiro\\Programs\\[A-Z0-9~_]{1,8}\.DLL'
check "WININIT.INI has the [rename] section with CR LF lines" grep -q $'^\\[rename\\]\r$' "$wininit"
check "WININIT.INI deletes the held file by its short path" grep -qE "^NUL=$short"$'\r$' "$wininit"
check "WININIT.INI moves the temporary file by short paths" \
  grep -qE "^($short)=C:\\\\Lumiro\\\\Programs\\\\\\\$tmp0001\.tmp"$'\r$' "$wininit"
check "no delayed moves under Windows 9x" no_pending_renames

# A restart of the prefix: the session's server goes, wineboot -r starts it
# anew and carries out the queued replacements.
wineserver -k >/dev/null 2>&1 || true
wineboot -r >/dev/null 2>&1
# Wine carries out the lines literally: the held file goes, and the new one
# takes the short name written in WININIT.INI. The long name is lost, as it
# is on Windows 9x, whose start-up works through the list without long names.
short_name="$(grep -oE '^NUL=.*' "$(c_drive windows/wininit.bak)" | tr -d '\r' | sed 's/.*\\//')"
check "after the restart the old file is gone" test ! -e "$target"
check "after the restart the package's file is in place under its short name" \
  cmp -s "$E2E_PAYLOAD/APPS_95/ReaderRes.dll" "$(c_drive "Lumiro/Programs/$short_name")"
