#!/usr/bin/env bash
# /PASSIVE as winget's SilentWithProgress starts it: the run of /S, with the
# same answers, exit codes and log, that shows its progress window (drawn
# mid-install: stage, status and bar; photographed), then the end in its
# first line for a moment, and closes by itself, never asking anything.
# A new installation; its log against the log of the same installation with
# /S; an upgrade over a held file without version information, where the
# dialogs would ask twice (replace, restart); the removal in the uninstall
# window; and the exit codes of a newer build, a switch it does not know and
# a damaged package.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin
log="$(c_drive passive.log)"
# The application package with a large file beside the sample's, so that the
# progress window is on the screen for a while.
mkdir -p "$E2E_OUT/apps/Data"
cp -p "$E2E_PAYLOAD"/APPS_NT/* "$E2E_OUT/apps/"
head -c $((32 << 20)) /dev/urandom > "$E2E_OUT/apps/Data/recording.bin"
rm -f "$MEDIA/APPS_NT.PKG"
"$HOST_LUMPACK" create --dirs "$MEDIA/APPS_NT.PKG" "$E2E_OUT/apps" >/dev/null

driver startwith 'C:\media\setup.exe' '/PASSIVE /LOG="C:\passive.log"' \
  drawn Installing 1003,1004,1005 windowshot Installing 'C:\passive-progress.bmp' thaw \
  text Installing 1003 "$COMPLETED" gone Installing exit 0
convert "$(c_drive passive-progress.bmp)" "$E2E_OUT/passive-progress.png" 2>/dev/null || true
check "the progress window was photographed mid-install" test -s "$(c_drive passive-progress.bmp)"
check_installed APPS_NT Lumiro/Programs
check_installed RTDLL_NT "$SYSTEM_FOLDER"
check "the completion is in the log, answered as /S answers it" \
  log_has "$log" "Message (unattended): $COMPLETED [OK]"

# The same installation with /S writes the same log, but for its start, the
# time recorded and the time the check took. (The first installation found no
# runtime libraries in the system folder; from then on every one finds them,
# since a removal leaves them: the two compared both find them.)
log_body() {
  log_lines "$1" | cut -b 22- | grep -v -e '^Lumiro Setup build' -e '^Command line: ' -e 'Installed [LH] = ' |
    sed -E 's/in [0-9]+ ms/in N ms/'
}
driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0
driver startwith 'C:\media\setup.exe' '/S /LOG="C:\silent.log"' nowindow exit 0
driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0
rm -f "$log"
driver startwith 'C:\media\setup.exe' '/PASSIVE /LOG="C:\passive.log"' onlywindow Installing exit 0
log_body "$log" > "$E2E_OUT/passive.body"
log_body "$(c_drive silent.log)" > "$E2E_OUT/silent.body"
check "the log of /PASSIVE is the log of /S" cmp -s "$E2E_OUT/passive.body" "$E2E_OUT/silent.body"
cmp -s "$E2E_OUT/passive.body" "$E2E_OUT/silent.body" || diff "$E2E_OUT/passive.body" "$E2E_OUT/silent.body" | head -20

# An upgrade over a held file without version information: never a question,
# only the progress window, and 3010 for the restart it does not make.
echo "older contents" > "$(c_drive Lumiro/Programs/ReaderRes.dll)"
record_installed_build 2092
hold_file 'C:\Lumiro\Programs\ReaderRes.dll'
rm -f "$log"
driver startwith 'C:\media\setup.exe' '/PASSIVE /LOG="C:\passive.log"' onlywindow Installing exit 3010
release_file
log_lines "$log" > "$E2E_OUT/upgrade.log"
# (/S answers the first replace question Yes To All, which takes in every
# later file.)
check "the replace question got the answer of /S, unseen" \
  bash -c 'grep -F "Question (unattended): Do you wish to replace the file" "$1" | grep -qF "[Yes To All]"' _ "$E2E_OUT/upgrade.log"
check "the held file is queued for the restart" \
  grep -qF 'File queued for restart: C:\Lumiro\Programs\ReaderRes.dll' "$E2E_OUT/upgrade.log"
check "the restart is not asked for" bash -c '! grep -q "Do you wish to restart" "$1"' _ "$E2E_OUT/upgrade.log"
reg64 delete 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations /f >/dev/null 2>&1 || true

# The removal in the uninstall window, which shows its stages and the end.
driver startwith 'C:\media\setup.exe' '/PASSIVE /UNINSTALL' \
  text Uninstalling 1008 "${UNINSTALL_LOG}Uninstall completed successfully." gone Uninstalling exit 0
check "the removal took the folder" test ! -e "$(c_drive Lumiro)"

# The exit codes of /S, and no window where /S changes nothing.
install_completes
record_installed_build 2094
driver startwith 'C:\media\setup.exe' '/PASSIVE' nowindow exit 1638
record_installed_build 2093
driver startwith 'C:\media\setup.exe' '/PASSIVE /BOGUS' nowindow exit 1639
driver startwith 'C:\media\setup.exe' '/PASSIVE' nowindow exit 0
driver startwith 'C:\media\setup.exe' '/S /UNINSTALL' nowindow exit 0
python3 "$LUMIRO_SOURCE_DIR/tests/support/package_layout.py" --damage data "$MEDIA/APPS_NT.PKG"
driver startwith 'C:\media\setup.exe' '/PASSIVE' onlywindow Installing exit 1620
