#!/usr/bin/env bash
# Lumiro in Windows' list of installed programs: after an installation the
# entry holds what Windows shows and the commands that remove it, and the
# install folder holds the setup's own copy; an upgrade keeps exactly one
# entry, with the new version. The entry's UninstallString (with the window)
# and QuietUninstallString (without) are run as Windows runs them, not the
# medium's setup.exe: the tree, the links, the records and the entry go, the
# exit code is 0, and after the next restart nothing of Lumiro stays in the
# temporary folder.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
key='HKLM\Software\Corvane\Lumiro Install'
LINKS=("ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk)

# check_removed: nothing of the installation is left but the shared parts.
check_removed() {
  check "the install folder is gone, its Setup folder with it" test ! -e "$(c_drive Lumiro)"
  for link in "${LINKS[@]}"; do check "$link is gone" test ! -e "$(c_drive "$link")"; done
  check "the product's records are gone" reg_key_missing "$key"
  check "the entry is gone" reg_key_missing "$UNINSTALL_ENTRY"
}
# check_temporary_copy_goes: the temporary copy waits for the restart, and
# the restart takes it.
check_temporary_copy_goes() {
  check "the temporary copy is queued for deletion at the restart" test -n "$(lumiro_temporary_files)"
  restart_prefix
  check "after the restart nothing of Lumiro is in the temporary folder" test -z "$(lumiro_temporary_files)"
}

install_completes
check "the setup's own copy is installed" cmp -s "$E2E_BIN/setup.exe" "$(c_drive Lumiro/Setup/setup.exe)"
check "DisplayName" test "$(entry_value DisplayName)" = 'Lumiro'
check "DisplayVersion is the setup's own version" test "$(entry_value DisplayVersion)" = '1.0.2093.0'
check "Publisher" test "$(entry_value Publisher)" = 'Corvane'
check "InstallLocation" test "$(entry_value InstallLocation)" = 'C:\Lumiro'
check "DisplayIcon is the installed reader's first icon" test "$(entry_value DisplayIcon)" = 'C:\Lumiro\Programs\ReaderNT.exe,0'
check "InstallDate is today" test "$(entry_value InstallDate)" = "$(date +%Y%m%d)"
bytes=$(cat "$E2E_PAYLOAD"/RTDLL_NT/* "$E2E_PAYLOAD"/APPS_NT/* | wc -c)
check "EstimatedSize is the files' KiB" test "$(( $(entry_value EstimatedSize) ))" = "$(( (bytes + 1023) / 1024 ))"
check "NoModify" test "$(entry_value NoModify)" = '0x1'
check "NoRepair" test "$(entry_value NoRepair)" = '0x1'
check "UninstallString" test "$(entry_value UninstallString)" = '"C:\Lumiro\Setup\setup.exe" /UNINSTALL'
check "QuietUninstallString" test "$(entry_value QuietUninstallString)" = '"C:\Lumiro\Setup\setup.exe" /UNINSTALL /S'

# An upgrade from an older build: one entry, with the new version.
record_installed_build 2092
product_reg add "$UNINSTALL_ENTRY" /v DisplayVersion /d 1.0.2092.0 /f >/dev/null 2>&1
driver start 'C:\media\setup.exe' "${UPGRADE[@]}" window 'Replace File' click 'Replace File' 1 message "$COMPLETED" 1 exit 0
check "after the upgrade the entry has the new version" test "$(entry_value DisplayVersion)" = '1.0.2093.0'
check "after the upgrade there is one entry of Lumiro" \
  test "$(product_reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' | grep -c 'Uninstall\\Lumiro')" = 1

# A file someone else put into the temporary folder under the name the
# hand-over's copy had before it got a folder of its own.
temp_folder="$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -iname temp | head -n 1)"
echo "planted by someone else" > "$temp_folder/LumiroSetup1.exe"

# The entry's UninstallString, with the uninstall window.
driver startcmd "$(entry_value UninstallString)" \
  text Uninstalling 1008 "$UNINSTALL_LOG" \
  message 'Uninstall completed successfully.' 1 \
  exit 0
check_removed
copies=("$temp_folder"/LumiroSetup-*/setup.exe)
check "the copy ran from a new folder of a random name in the temporary folder" \
  bash -c '[ $# = 1 ] && [ -f "$1" ] && [[ "$1" =~ /LumiroSetup-[0-9a-f]{32}/setup\.exe$ ]]' _ "${copies[@]}"
check "the copy is the installed setup program" cmp -s "$E2E_BIN/setup.exe" "${copies[0]}"
check "the copy's folder holds the copy alone" test "$(ls -A "$(dirname "${copies[0]}")")" = setup.exe
copy_folder="$(basename "$(dirname "${copies[0]}")")"
pending="$(reg64 query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
  2>/dev/null | tr -d '\r' | sed 's/\\0/\n/g')"
check "the copy and then its folder are queued for deletion at the restart" \
  test "$(grep -ioE "$copy_folder(\\\\setup\.exe)?\$" <<<"$pending" | tr '\n' ' ')" = "$copy_folder\\setup.exe $copy_folder "
check "the file planted at the copy's old name was left as it was, and unused" \
  grep -qx "planted by someone else" "$temp_folder/LumiroSetup1.exe"
rm -f "$temp_folder/LumiroSetup1.exe"
check_temporary_copy_goes

# Again, with its QuietUninstallString: no window at all.
install_completes
driver startcmd "$(entry_value QuietUninstallString)" nowindow exit 0
check_removed
check_temporary_copy_goes
