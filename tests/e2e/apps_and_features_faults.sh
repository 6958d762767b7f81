#!/usr/bin/env bash
# The entry's removal when things are not as they should be: a recorded
# folder changed to a drive root is refused as it always is, and the entry
# and the records still go; a temporary folder that cannot take the copy
# ends the removal before anything is removed (1603, the reason in the log);
# with the Setup folder's copy missing, the medium's setup.exe still removes
# the installation. The installed copy, started and left, stays in its place.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
log="$(c_drive setup.log)"

install_completes
quiet="$(entry_value QuietUninstallString)"

# The installed copy started by hand and left with Exit Setup: it hands the
# run over as any start of it does, and its file comes back afterwards.
driver start 'C:\Lumiro\Setup\setup.exe' window "$MAIN_DIALOG" click "$MAIN_DIALOG" 2 exit 1602
check "after Exit Setup the installed copy is in its place" \
  cmp -s "$E2E_BIN/setup.exe" "$(c_drive Lumiro/Setup/setup.exe)"

# No temporary folder to copy into.
temp="$(reg_value 'HKCU\Environment' TEMP)"
tmp="$(reg_value 'HKCU\Environment' TMP)"
reg64 add 'HKCU\Environment' /v TEMP /d 'C:\NoTempFolder' /f >/dev/null 2>&1
reg64 add 'HKCU\Environment' /v TMP /d 'C:\NoTempFolder' /f >/dev/null 2>&1
driver startcmd "$quiet /LOG=\"C:\\setup.log\"" nowindow exit 1603
check "the reason is the log's last line" \
  bash -c 'tail -n 1 "$1" | grep -q "Exit code 1603: Failed to copy the setup program to \"C:\\\\NoTempFolder\""' _ "$log"
check "nothing was removed: the installed copy's program is back" test -f "$(c_drive Lumiro/Setup/setup.exe)"
check "nothing was removed: the reader" test -f "$(c_drive Lumiro/Programs/ReaderNT.exe)"
check "nothing was removed: the entry" reg_key_exists "$UNINSTALL_ENTRY"
reg64 add 'HKCU\Environment' /v TEMP /d "$temp" /f >/dev/null 2>&1
reg64 add 'HKCU\Environment' /v TMP /d "$tmp" /f >/dev/null 2>&1

# The recorded folder changed to a drive root by someone.
record_installed_build 2093 'C:\'
product_reg add "$UNINSTALL_ENTRY" /v InstallLocation /d 'C:\' /f >/dev/null 2>&1
driver startcmd "$(entry_value UninstallString)" \
  message 'The recorded installation folder "C:\" is the root of a drive, so no program files are removed.' 1 \
  message 'Uninstall completed successfully.' 1 \
  exit 0
check "the refused folder's files stay" test -f "$(c_drive Lumiro/Programs/ReaderNT.exe)"
check "the refused folder keeps its installed copy" test -f "$(c_drive Lumiro/Setup/setup.exe)"
check "the records are gone all the same" reg_key_missing "$key"
check "the entry is gone all the same" reg_key_missing "$UNINSTALL_ENTRY"

# The Setup folder's copy missing: the medium removes the installation.
record_installed_build 2093 'C:\Lumiro'
rm -rf "$(c_drive Lumiro/Setup)"
driver start 'C:\media\setup.exe' click "$MAIN_DIALOG" "$UNINSTALL_BUTTON" \
  message 'Uninstall completed successfully.' 1 exit 0
check "the medium removed the installation" test ! -e "$(c_drive Lumiro)"
