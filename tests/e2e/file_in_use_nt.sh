#!/usr/bin/env bash
# A file in use under the NT family: the second installation finds
# C:\Lumiro\Programs\ReaderRes.dll held open by another program, queues one
# delayed move that replaces it and asks for a restart; restarting the prefix
# (wineboot -r) carries it out and the package's file is in place.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin

install_completes

target="$(c_drive Lumiro/Programs/ReaderRes.dll)"
reinstall_with_held_file Lumiro/Programs/ReaderRes.dll

pending="$(reg64 query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')"
echo "$pending" | grep PendingFileRenameOperations
check "held file still has its old contents" test "$(cat "$target")" = 'old contents'
check "replacing move of the temporary file queued" grep -qi '\$tmp0001.tmp\\0!\\??\\C:\\Lumiro\\Programs\\ReaderRes.dll' <<<"$pending"

# A restart of the prefix: the session's server goes, wineboot -r starts it
# anew and carries out the queued replacements.
wineserver -k >/dev/null 2>&1 || true
wineboot -r >/dev/null 2>&1
check "after the restart the package's file is in place" cmp -s "$E2E_PAYLOAD/APPS_NT/ReaderRes.dll" "$target"
check "after the restart no temporary file is left" test ! -e "$(c_drive 'Lumiro/Programs/$tmp0001.tmp')"
