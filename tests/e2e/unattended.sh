#!/usr/bin/env bash
# Unattended runs as deployment tools start them: setup.exe /S with /DIR,
# /LOG and /UNINSTALL shows no window at any moment (watched from another
# process for the whole run) and tells its outcome by the exit code and the
# log: a new installation into a folder whose parent does not exist, the same
# build again, an upgrade, a held file, a hostile package, a newer build, a
# refused folder, the removal, and command lines it does not understand. Then
# /NORESTART and /? with windows.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
log="$(c_drive setup.log)"
key='HKLM\Software\Corvane\Lumiro Install'
setup_log_arguments='/LOG="C:\setup.log"'

# unattended ARGUMENTS EXIT: runs setup.exe with the arguments; no window
# may appear, and it ends with EXIT.
unattended() {
  driver startwith 'C:\media\setup.exe' "$1" nowindow exit "$2"
}
last_line() { tail -n 1 "$log" | tr -d '\r'; }
logged() { log_mentions "$log" "$1"; }

unattended "/S /DIR=\"C:\\Apps\\Lumiro\" $setup_log_arguments" 0
check_installed APPS_NT Apps/Lumiro/Programs
check_installed RTDLL_NT "$SYSTEM_FOLDER"
for file in "$E2E_PAYLOAD"/APPS_NT/* "$E2E_PAYLOAD"/RTDLL_NT/*; do
  name="$(basename "$file")"
  case "$file" in */RTDLL_NT/*) folder='C:\windows\system32' ;; *) folder='C:\Apps\Lumiro\Programs' ;; esac
  check "the log lists $name as written new" logged "File written new: $folder\\$name"
done
check "the log names the build, Windows and the command line" logged "Lumiro Setup build 2093 started on Windows"
check "the log names the install path" logged 'Install path: C:\Apps\Lumiro'
check "the log ends with the exit code" test "$(last_line | cut -c 22-)" = 'Exit code 0'
check "every line has a local time stamp" bash -c '! grep -vqE "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}  " "$1"' _ <(log_lines "$log")
check "the folder is recorded" test "$(reg_value "$key" 'Install Path')" = 'C:\Apps\Lumiro'
check_links 'C:\Apps\Lumiro\Programs\ReaderNT.exe' \
  "ProgramData/Microsoft/Windows/Start Menu/Programs/Lumiro.lnk" users/Public/Desktop/Lumiro.lnk

unattended "/s -log=C:\\setup.log" 0
check "the same build again: already installed" logged 'Lumiro build 2093 is already installed in C:\Apps\Lumiro.'
check "the log was appended to" test "$(grep -c 'started on Windows' "$log")" = 2

record_installed_build 2092
echo "older contents" > "$(c_drive Apps/Lumiro/Programs/ReaderRes.dll)"
echo "older contents" > "$(c_drive "$SYSTEM_FOLDER/LumRtl.dll")"
unattended "/S /DIR=\"C:\\Elsewhere\" $setup_log_arguments" 0
check "an older build recorded: upgraded in its folder" logged 'Upgrading build 2092 in C:\Apps\Lumiro.'
check "the replace question was answered Yes To All" \
  cmp -s "$E2E_PAYLOAD/APPS_NT/ReaderRes.dll" "$(c_drive Apps/Lumiro/Programs/ReaderRes.dll)"
check "and asked once for the two files without a version" \
  test "$(log_lines "$log" | grep -c 'Question (unattended): .*\[Yes To All\]')" = 1
check "the second was replaced without a question" \
  cmp -s "$E2E_PAYLOAD/RTDLL_NT/LumRtl.dll" "$(c_drive "$SYSTEM_FOLDER/LumRtl.dll")"
check "the upgrade records the new build" test "$(reg_value "$key" 'Build Number')" = '0x82d'
check "nothing goes to the folder of /DIR" test ! -e "$(c_drive Elsewhere)"

record_installed_build 2092
echo "older contents" > "$(c_drive Apps/Lumiro/Programs/ReaderRes.dll)"
hold_file 'C:\Apps\Lumiro\Programs\ReaderRes.dll'
unattended "/S $setup_log_arguments" 3010
release_file
check "a held file is queued for the restart" logged 'File queued for restart: C:\Apps\Lumiro\Programs\ReaderRes.dll'
check "no restart question was asked" bash -c '! grep -q "Do you wish to restart" "$1"' _ "$log"

reg64 delete 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
rm -f "$(c_drive Apps/Lumiro/Programs)"/\$tmp*

cp "$MEDIA/APPS_NT.PKG" "$E2E_OUT/APPS_NT.PKG"
head -c 204800 /dev/urandom > "$E2E_OUT/stream.bin"
make_package "$MEDIA/APPS_NT.PKG" <<JSON
{"entries": [{"name": "ReaderRes.dll", "file": "$E2E_OUT/stream.bin", "size": 0}]}
JSON
cp "$(c_drive Apps/Lumiro/Programs/ReaderRes.dll)" "$E2E_OUT/ReaderRes.before"
record_installed_build 2092
unattended "/S $setup_log_arguments" 1603
check "a hostile package: the log's last line is the failure's message" \
  bash -c 'tail -n 1 "$1" | grep -q "Exit code 1603: Read from package failed - "' _ "$log"
check "nothing half-written: ReaderRes.dll is whole" \
  cmp -s "$E2E_OUT/ReaderRes.before" "$(c_drive Apps/Lumiro/Programs/ReaderRes.dll)"
check "nothing half-written: no temporary file" no_temporary_files Apps/Lumiro/Programs
cp "$E2E_OUT/APPS_NT.PKG" "$MEDIA/APPS_NT.PKG"

record_installed_build 2094
unattended "/S $setup_log_arguments" 1638
check "a newer build is never replaced" logged 'A newer build (2094) is installed in C:\Apps\Lumiro: nothing is changed.'
record_installed_build 2093

unattended "/S /UNINSTALL $setup_log_arguments" 0
check "the removal took the folder" test ! -e "$(c_drive Apps/Lumiro)"
check "the removal took the records" reg_key_missing "$key"
check "the removal took the links" test ! -e "$(c_drive users/Public/Desktop/Lumiro.lnk)"
check "the removal's stages are in the log" logged 'Stage: Removing Program Files... done.'

unattended '/S /DIR="C:\" /LOG="C:\setup.log"' 1603
check "a refused folder: 1603 with the reason as the last line" \
  bash -c 'tail -n 1 "$1" | grep -q "Exit code 1603: Lumiro cannot be installed in \"C:\\\\\" because it is the root of a drive"' _ "$log"

rm -f "$log"
unattended '/S /BOGUS' 1639
temp_log="$(find "$WINEPREFIX/drive_c/users" -name 'Lumiro Setup.log' | head -n 1)"
check "without /LOG the log goes to the temporary folder" test -n "$temp_log"
check "an unknown switch is named in that log" grep -q 'does not know the switch "/BOGUS"' "$temp_log"
# (This run installs into the default folder, which the last case upgrades.)
unattended '/S /LOG="C:\Missing Folder\setup.log"' 0
check "a log that cannot be written is reported in the temporary folder's" \
  grep -q 'Setup cannot write its log to "C:\\Missing Folder\\setup.log"' "$temp_log"

# With windows: /? lists the switches; /NORESTART neither asks nor restarts.
driver startwith 'C:\media\setup.exe' '/?' message 'Lumiro Setup takes these switches*' 1 exit 1639
echo "older contents" > "$(c_drive Lumiro/Programs/ReaderRes.dll)"
record_installed_build 2092
hold_file 'C:\Lumiro\Programs\ReaderRes.dll'
driver startwith 'C:\media\setup.exe' '/NORESTART' "${UPGRADE[@]}" \
  window 'Replace File' click 'Replace File' 1 \
  message 'Installation is complete.  Lumiro is ready to use once the computer has been restarted.' 1 \
  exit 3010
release_file
